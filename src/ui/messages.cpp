#include "ui/messages.h"

#include <string>
#include <utility>

#include "version.h"

namespace kestrine {

namespace {

std::string percent(std::int64_t value) { return std::to_string(value) + "%"; }

}  // namespace

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
  std::string body =
      "Automatic Low Power Mode Manager\n"
      "\n"
      "Version: " KESTRINE_VERSION
      " (AI Enhanced)\n"
      "Current Mode: " +
      mode +
      "\n"
      "\n"
      "Icon Legend:\n"
      "\U0001F4A4 - Low Power Mode ON\n"
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
      "Current threshold: " + value +
      "%\nLow Power Mode will activate automatically when\nyour battery reaches " + value + "%.";
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
      facts.level ? "Battery " + std::to_string(*facts.level) + " %" : "Battery level unknown";
  text += facts.onBattery ? " \u00B7 on battery" : " \u00B7 on AC power";
  text += " \u00B7 ";
  text += facts.mode ? std::string(powerModeName(*facts.mode, wording)) : "power mode unknown";
  if (config.useSmartMode && facts.predictedMinutes) {
    text += " \u00B7 Smart AI Mode: ~" + std::to_string(*facts.predictedMinutes) +
            " min left, switches at " + std::to_string(config.smartModeTargetMinutes) + " min";
  } else {
    text += " \u00B7 switches at " + std::to_string(config.threshold) + " %";
  }
  return text;
}

Notification noStatusAreaNotification() {
  return Notification{
      .title = "Kestrine",
      .subtitle = "No panel shows Kestrine's icon",
      .body =
          "It keeps switching Low Power Mode on. Quit: kestrine --quit. To show its icon on "
          "GNOME, enable the AppIndicator extension (gnome-shell-extension-appindicator).",
  };
}

Notification alreadyRunningNotification() {
  return Notification{
      .title = "Kestrine",
      .subtitle = "Kestrine is already running",
      .body = "It keeps watching the battery. Quit it from its menu or with kestrine --quit.",
  };
}

Notification thresholdSwitchNotification(std::int64_t level, std::int64_t threshold) {
  return Notification{
      .title = "Kestrine",
      .subtitle = "Battery at " + percent(level),
      .body = "Low Power Mode enabled (threshold: " + percent(threshold) + ")",
  };
}

Notification thresholdUpdatedNotification(std::int64_t threshold) {
  return Notification{
      .title = "Kestrine",
      .subtitle = "Threshold Updated",
      .body = "Low Power Mode will activate at " + percent(threshold),
  };
}

Notification smartModeEnabledNotification(bool hasEnoughData, std::int64_t daysCollected,
                                          std::int64_t targetMinutes) {
  const std::string days = std::to_string(daysCollected);
  if (hasEnoughData) {
    return Notification{
        .title = "Smart AI Mode Enabled",
        .subtitle = "AI Ready (" + days + " days trained)",
        .body = "LPM will activate when ~" + std::to_string(targetMinutes) + " min remaining",
    };
  }
  return Notification{
      .title = "Smart AI Mode Enabled",
      .subtitle = "Training... (" + days + "/2 days)",
      .body = "Using threshold mode until AI has enough data",
  };
}

Notification smartModeDisabledNotification(std::int64_t threshold) {
  return Notification{
      .title = "Smart AI Mode Disabled",
      .subtitle = "Classic Threshold Mode",
      .body = "LPM will activate at " + percent(threshold),
  };
}

Notification unreadableSettingsNotification(const std::filesystem::path& keptAt) {
  return Notification{
      .title = "Kestrine",
      .subtitle = "Settings could not be read",
      .body = "Using the default settings. The old file is kept at " + keptAt.string(),
  };
}

Notification automaticSwitchNotification(std::string_view subtitle) {
  return Notification{
      .title = "Kestrine",
      .subtitle = std::string(subtitle),
      .body = "Low Power Mode enabled automatically",
  };
}

Notification switchFailedNotification(SwitchFailure why, const Wording& wording) {
  constexpr std::string_view kAgain = " Kestrine tries again at every check.";
  std::string body;
  switch (why) {
    case SwitchFailure::kNotAllowed:
      body = "The system's policy (polkit) does not let this session switch the power profile.";
      break;
    case SwitchFailure::kNoAnswer:
      body = "power-profiles-daemon did not answer.";
      break;
    case SwitchFailure::kNoService:
      body = "power-profiles-daemon is not running.";
      break;
    case SwitchFailure::kRefused:
      body = "power-profiles-daemon refused the switch.";
      break;
  }
  return Notification{
      .title = "Kestrine",
      .subtitle =
          std::string(powerModeName(PowerMode::kLowPower, wording)) + " could not be turned on",
      .body = body + std::string(kAgain),
  };
}

Notification saveFailedNotification(SavedFile file, std::string_view line) {
  const bool settings = file == SavedFile::kSettings;
  return Notification{
      .title = "Kestrine",
      .subtitle = settings ? "Settings could not be saved" : "Learning data could not be saved",
      .body = std::string(line) + (settings ? ". Your settings apply until Kestrine quits; it "
                                              "saves them again at every check."
                                            : ". Kestrine saves it again at every check."),
  };
}

}  // namespace kestrine
