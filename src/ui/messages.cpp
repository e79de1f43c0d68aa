#include "ui/messages.h"

#include <string>
#include <utility>

#include "version.h"

namespace kestrine {

namespace {

// The title and the subtitle take `what` happened, the body the `details`.
Notification notice(const NoticeWording& wording, std::initializer_list<TextValue> what,
                    std::initializer_list<TextValue> details = {}) {
  return Notification{.title = fillIn(wording.title, what),
                      .subtitle = fillIn(wording.subtitle, what),
                      .body = fillIn(wording.body, details)};
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
  return wording.unknownMode;
}

std::string_view pluralFor(const PluralText& text, std::int64_t count, const Wording& wording) {
  if (wording.plural != nullptr) return wording.plural(text, count);
  return count == 1 ? text.one : text.other;
}

Alert batteryInfoAlert(std::int64_t level, bool onBattery, std::int64_t threshold,
                       const Wording& wording) {
  const std::string_view source = onBattery ? wording.batterySource : wording.acSource;
  return Alert{.title = std::string(wording.batteryInfoTitle),
               .body = fillIn(wording.batteryInfoBody, {level, source, threshold}),
               .buttons = {}};
}

Alert batteryInfoErrorAlert(const Wording& wording) {
  return Alert{.title = std::string(wording.errorTitle),
               .body = std::string(wording.batteryInfoError),
               .buttons = {}};
}

Alert powerModeAlert(std::optional<PowerMode> mode, const Wording& wording,
                     std::string_view unavailableReason) {
  if (!mode) {
    std::string body(wording.powerModeError);
    if (!unavailableReason.empty()) body += "\n\n" + std::string(unavailableReason);
    return Alert{.title = std::string(wording.errorTitle), .body = body, .buttons = {}};
  }
  return Alert{.title = std::string(wording.powerModeTitle),
               .body = fillIn(wording.powerModeBody, {powerModeName(*mode, wording)}),
               .buttons = {}};
}

Alert aboutAlert(const Config& config, const Wording& wording) {
  const std::string mode = config.useSmartMode
                               ? fillIn(wording.aboutSmartMode, {config.smartModeTargetMinutes})
                               : fillIn(wording.thresholdItem, {config.threshold});
  return Alert{.title = "Kestrine",
               .body = fillIn(wording.aboutBody, {KESTRINE_VERSION, mode, wording.copyright}),
               .buttons = {}};
}

std::string thresholdRuleText(std::int64_t threshold, const Wording& wording) {
  return fillIn(wording.thresholdRule, {threshold});
}

Alert launchAlert(std::int64_t threshold, const Wording& wording, bool itemShown) {
  const std::string rule = thresholdRuleText(threshold, wording);
  return Alert{
      .title = std::string(wording.launchTitle),
      .body = fillIn(itemShown ? wording.launchShown : wording.launchHidden, {threshold, rule}),
      .buttons = {},
      // Shown at login too, where nobody has just clicked the menu.
      .bringToFront = true,
      // It tells that Kestrine protects the battery: left open, it must not
      // stop doing so.
      .holdsChecks = false,
  };
}

std::string statusSummary(const StatusFacts& facts, const Config& config, const Wording& wording) {
  std::string text = facts.level ? fillIn(wording.summaryLevel, {*facts.level})
                                 : std::string(wording.summaryNoLevel);
  text += " \u00B7 ";
  text += facts.onBattery ? wording.summaryOnBattery : wording.summaryOnAc;
  text += " \u00B7 ";
  text += facts.mode ? powerModeName(*facts.mode, wording) : wording.summaryModeUnknown;
  text += " \u00B7 ";
  if (config.useSmartMode && facts.predictedMinutes) {
    text += fillIn(wording.summarySmart, {*facts.predictedMinutes, config.smartModeTargetMinutes});
  } else {
    text += fillIn(wording.summaryThreshold, {config.threshold});
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
  return notice(wording.thresholdSwitch, {level}, {threshold});
}

Notification thresholdUpdatedNotification(std::int64_t threshold, const Wording& wording) {
  return notice(wording.thresholdUpdated, {threshold}, {threshold});
}

Notification smartModeEnabledNotification(bool hasEnoughData, std::int64_t daysCollected,
                                          std::int64_t targetMinutes, const Wording& wording) {
  if (hasEnoughData) return notice(wording.smartModeReady, {daysCollected}, {targetMinutes});
  return notice(wording.smartModeTraining, {daysCollected});
}

Notification smartModeDisabledNotification(std::int64_t threshold, const Wording& wording) {
  return notice(wording.smartModeDisabled, {}, {threshold});
}

Notification unreadableSettingsNotification(const std::filesystem::path& keptAt,
                                            const Wording& wording) {
  return notice(wording.unreadableSettings, {}, {keptAt.string()});
}

Notification automaticSwitchNotification(std::string_view reason, const Wording& wording) {
  return notice(wording.automaticSwitch, {reason});
}

Notification switchFailedNotification(SwitchFailure why, const Wording& wording) {
  return notice(wording.switchFailed, {}, {wording.switchFailures[static_cast<std::size_t>(why)]});
}

Notification saveFailedNotification(SavedFile file, std::string_view line, const Wording& wording) {
  return notice(file == SavedFile::kSettings ? wording.settingsUnsaved : wording.learningUnsaved,
                {}, {line});
}

}  // namespace kestrine
