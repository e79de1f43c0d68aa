#include "ui/messages.h"

#include <string>
#include <utility>

#include "version.h"

namespace kestrine {

namespace {

std::string percent(std::int64_t value) { return std::to_string(value) + "%"; }

Notification notice(const NoticeWording& wording, std::initializer_list<TextValue> values) {
  return Notification{.title = fillIn(wording.title, values),
                      .subtitle = fillIn(wording.subtitle, values),
                      .body = fillIn(wording.body, values)};
}

}  // namespace

std::string fillIn(std::string_view pattern, std::initializer_list<TextValue> values) {
  std::string text;
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 == pattern.size()) {
      text += pattern[i];
      continue;
    }
    if (pattern[i + 1] == '%') {
      text += '%';
      ++i;
      continue;
    }
    // "%d", "%s", or with the value's place first: "%2$d".
    std::size_t end = i + 1;
    std::size_t place = 0;
    while (end < pattern.size() && pattern[end] >= '0' && pattern[end] <= '9')
      place = place * 10 + static_cast<std::size_t>(pattern[end++] - '0');
    const bool numbered = place > 0 && end < pattern.size() && pattern[end] == '$';
    if (numbered) ++end;
    if (end >= pattern.size() || (pattern[end] != 'd' && pattern[end] != 's') ||
        (place > 0 && !numbered)) {
      text += pattern[i];
      continue;
    }
    const std::size_t index = numbered ? place - 1 : next++;
    if (index < values.size()) text += values.begin()[index].text;
    i = end;
  }
  return text;
}

std::string_view powerModeName(PowerMode mode, const Wording& wording) {
  switch (mode) {
    case PowerMode::kAutomatic:
      return wording.powerModes[0];
    case PowerMode::kLowPower:
      return wording.powerModes[1];
    case PowerMode::kHighPower:
      return wording.powerModes[2];
  }
  return "Unknown";
}

Alert batteryInfoAlert(std::int64_t level, bool onBattery, std::int64_t threshold) {
  return Alert{
      .title = "Battery Information",
      .body = "Battery Level: " + percent(level) + "\n" + "Power Source: " +
              (onBattery ? "Battery" : "AC Power") + "\n" + "Threshold: " + percent(threshold),
      .buttons = {},
  };
}

Alert batteryInfoErrorAlert() {
  return Alert{.title = "Error", .body = "Unable to retrieve battery information", .buttons = {}};
}

Alert powerModeAlert(std::optional<PowerMode> mode, const Wording& wording,
                     std::string_view unavailableReason) {
  if (!mode) {
    std::string body = "Unable to retrieve power mode";
    if (!unavailableReason.empty()) body += "\n\n" + std::string(unavailableReason);
    return Alert{.title = "Error", .body = body, .buttons = {}};
  }
  return Alert{.title = "Current Power Mode",
               .body = "Power Mode: " + std::string(powerModeName(*mode, wording)),
               .buttons = {}};
}

Alert aboutAlert(const Config& config, const Wording& wording) {
  const std::string mode =
      config.useSmartMode
          ? "Smart AI Mode (~" + std::to_string(config.smartModeTargetMinutes) + " min)"
          : "Threshold: " + percent(config.threshold);
  std::string body = "Automatic " + std::string(wording.powerModes[1]) +
                     " Manager\n"
                     "\n"
                     "Version: " KESTRINE_VERSION
                     " (AI Enhanced)\n"
                     "Current Mode: " +
                     mode +
                     "\n"
                     "\n"
                     "Icon Legend:\n"
                     "\U0001F4A4 - " +
                     std::string(wording.powerModes[1]) +
                     " ON\n"
                     "\U0001F50C - Charging (AC Power)\n"
                     "\U0001F50B - On Battery (normal)\n"
                     "\U0001FAAB - Low Battery\n"
                     "\u26A1 - At Threshold\n"
                     "\n"
                     "Features:\n"
                     "\u2022 Classic threshold-based mode\n"
                     "\u2022 AI-powered Smart Mode (predicts 1-hour remaining)\n"
                     "\u2022 Local ML - all data stays on your " +
                     std::string(wording.machine) +
                     "\n"
                     "\u2022 Zero battery impact\n"
                     "\n"
                     "Settings: ~/.kestrine_config.json\n"
                     "Learning data: ~/.kestrine_ai_data.json\n" +
                     std::string(wording.copyright);
  return Alert{.title = "Kestrine", .body = std::move(body), .buttons = {}};
}

Alert launchAlert(std::int64_t threshold, const Wording& wording, bool itemShown) {
  const std::string value = std::to_string(threshold);
  const std::string area(wording.statusArea);
  const std::string rule =
      "Current threshold: " + value + "%\n" + std::string(wording.powerModes[1]) +
      " will activate automatically when\nyour battery reaches " + value + "%.";
  return Alert{
      .title = "Kestrine is Running",
      .body = itemShown ? "The app is now active in your " + area + ".\n\n" + rule +
                              "\n\nClick the battery icon in the " + area +
                              " anytime\nto view battery info or change settings."
                        : rule + "\n\nNo " + area +
                              " on this desktop shows Kestrine's icon.\nIt keeps "
                              "watching the battery; to quit it, run\nkestrine --quit",
      .buttons = {},
      // Shown at login too, where nobody has just clicked the menu.
      .bringToFront = true,
      // It tells that Kestrine protects the battery: left open, it must not
      // stop doing so.
      .holdsChecks = false,
  };
}

std::string statusSummary(const StatusFacts& facts, const Config& config, const Wording& wording) {
  std::string text =
      facts.level ? fillIn(wording.summaryLevel, {*facts.level}) : "Battery level unknown";
  text += facts.onBattery ? " \u00B7 on battery" : " \u00B7 on AC power";
  text += " \u00B7 ";
  text += facts.mode ? std::string(powerModeName(*facts.mode, wording)) : "power mode unknown";
  if (config.useSmartMode && facts.predictedMinutes) {
    text += " \u00B7 Smart AI Mode: ~" + std::to_string(*facts.predictedMinutes) +
            " min left, switches at " + std::to_string(config.smartModeTargetMinutes) + " min";
  } else {
    text += " \u00B7 " + fillIn(wording.summaryThreshold, {config.threshold});
  }
  return text;
}

Notification noStatusAreaNotification(const Wording& wording) {
  return notice(wording.noStatusArea, {});
}

Notification alreadyRunningNotification(const Wording& wording) {
  return notice(wording.alreadyRunning, {});
}

Notification thresholdSwitchNotification(std::int64_t level, std::int64_t threshold,
                                         const Wording& wording) {
  return notice(wording.thresholdSwitch, {level, threshold});
}

Notification thresholdUpdatedNotification(std::int64_t threshold, const Wording& wording) {
  return notice(wording.thresholdUpdated, {threshold});
}

Notification smartModeEnabledNotification(bool hasEnoughData, std::int64_t daysCollected,
                                          std::int64_t targetMinutes, const Wording& wording) {
  if (hasEnoughData) return notice(wording.smartModeReady, {daysCollected, targetMinutes});
  return notice(wording.smartModeTraining, {daysCollected});
}

Notification smartModeDisabledNotification(std::int64_t threshold, const Wording& wording) {
  return notice(wording.smartModeDisabled, {threshold});
}

Notification unreadableSettingsNotification(const std::filesystem::path& keptAt,
                                            const Wording& wording) {
  return notice(wording.unreadableSettings, {keptAt.string()});
}

Notification automaticSwitchNotification(std::string_view reason, const Wording& wording) {
  return notice(wording.automaticSwitch, {reason});
}

}  // namespace kestrine
