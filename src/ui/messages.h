#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "ports/alerts.h"
#include "ports/notifications.h"
#include "ports/power.h"
#include "ports/wording.h"
#include "settings/config.h"

namespace kestrine {

// Every text Kestrine shows in an alert or a notification, built from the
// values it names so that the wording lives in one place.

// A value for fillIn: a number, written in digits whatever the locale, or a text.
// Implicit, so that a list of values reads as one: {level, threshold}.
struct TextValue {
  TextValue(std::int64_t number) : text(std::to_string(number)) {}
  TextValue(std::string_view words) : text(words) {}
  TextValue(const std::string& words) : text(words) {}
  TextValue(const char* words) : text(words) {}
  std::string text;
};

// `pattern` with its places filled in from `values`: "%d" and "%s" take the
// next value, "%2$d" and "%2$s" the second, "%%" writes a percent sign. A place
// with no value is left empty; anything else is copied as it stands.
std::string fillIn(std::string_view pattern, std::initializer_list<TextValue> values);

// The power mode's name in `wording` (the Mac's: "Automatic", "Low Power
// Mode", "High Power Mode"); any other mode "Unknown".
std::string_view powerModeName(PowerMode mode, const Wording& wording = {});

// The text of `text` that `count` takes in the wording's language.
std::string_view pluralFor(const PluralText& text, std::int64_t count, const Wording& wording);

// "Current Battery": the level, the power source and the threshold; the error
// alert when no level can be read.
Alert batteryInfoAlert(std::int64_t level, bool onBattery, std::int64_t threshold,
                       const Wording& wording = {});
Alert batteryInfoErrorAlert(const Wording& wording = {});

// "Current Power Mode": the named mode, or the error alert when none can be
// read, followed by the platform's reason when it knows one.
Alert powerModeAlert(std::optional<PowerMode> mode, const Wording& wording = {},
                     std::string_view unavailableReason = {});

// "About": version, current mode, icon legend and features.
// The wording names the computer ("all data stays on your Mac") and gives the
// closing copyright line.
Alert aboutAlert(const Config& config, const Wording& wording = {});

// The rule in force at `threshold`, in the platform's words: part of the
// launch message, and the one-time setup's confirmation.
std::string thresholdRuleText(std::int64_t threshold, const Wording& wording = {});

// The launch message, shown once a second after a start with setup completed.
// It only informs, so it does not hold the checks. Where no status area shows
// the item (`itemShown` false), it does not send the user looking for it.
Alert launchAlert(std::int64_t threshold, const Wording& wording = {}, bool itemShown = true);

// What the status item's tooltip and accessible description say: the level,
// the power source, the power mode and the rule in force, for example
// "Battery 45 % · on battery · Balanced · switches at 20 %".
struct StatusFacts {
  std::optional<std::int64_t> level;  // absent until a reading
  bool onBattery = false;
  std::optional<PowerMode> mode;
  std::optional<std::int64_t> predictedMinutes;  // Smart AI Mode's last prediction
};
std::string statusSummary(const StatusFacts& facts, const Config& config,
                          const Wording& wording = {});

// Notifications, in the platform's words (see Wording).

// Where no status area shows the item: said once per start.
Notification noStatusAreaNotification(const Wording& wording = {});

// A second start while one instance runs.
Notification alreadyRunningNotification(const Wording& wording = {});

// Low Power Mode switched on because the level is at or below the threshold:
// sent by the launch check and by a threshold change.
Notification thresholdSwitchNotification(std::int64_t level, std::int64_t threshold,
                                         const Wording& wording = {});

// A threshold change that did not switch anything.
Notification thresholdUpdatedNotification(std::int64_t threshold, const Wording& wording = {});

// Smart AI Mode switched on, with the predictor's progress.
Notification smartModeEnabledNotification(bool hasEnoughData, std::int64_t daysCollected,
                                          std::int64_t targetMinutes, const Wording& wording = {});

// Smart AI Mode switched off.
Notification smartModeDisabledNotification(std::int64_t threshold, const Wording& wording = {});

// The settings file could not be read at start: the defaults apply, and the
// old file is at `keptAt`.
Notification unreadableSettingsNotification(const std::filesystem::path& keptAt,
                                            const Wording& wording = {});

// Low Power Mode switched on by a check pass, for the reason the pass gives
// (see decideLowBattery).
Notification automaticSwitchNotification(std::string_view reason, const Wording& wording = {});

// Low Power Mode (in the wording's name: "Power Saver" on Linux) could not be
// switched on for a low battery, and why. Sent once per low-battery episode.
Notification switchFailedNotification(SwitchFailure why, const Wording& wording = {});

// The two files Kestrine keeps.
enum class SavedFile { kSettings, kLearningData };
// A save that failed (`line`: the printed "Failed to save ..." line), sent
// once until a save of that file succeeds.
Notification saveFailedNotification(SavedFile file, std::string_view line,
                                    const Wording& wording = {});

}  // namespace kestrine
