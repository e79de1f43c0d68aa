#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ports/alerts.h"
#include "ports/notifications.h"
#include "settings/config.h"

namespace kestrine {

// Every text Kestrine shows in an alert or a notification, built from the
// values it names so that the wording lives in one place.

// 0 "Automatic", 1 "Low Power Mode", 2 "High Power Mode", anything else "Unknown".
std::string_view powerModeName(std::int64_t mode);

// "Current Battery": the level, the power source and the threshold; the error
// alert when no level can be read.
Alert batteryInfoAlert(std::int64_t level, bool onBattery, std::int64_t threshold);
Alert batteryInfoErrorAlert();

// "Current Power Mode": the named mode, or the error alert when none can be
// read, followed by the platform's reason when it knows one.
Alert powerModeAlert(std::optional<std::int64_t> mode, std::string_view unavailableReason = {});

// "About": version, current mode, icon legend and features.
// `machine` names the computer: "all data stays on your Mac".
Alert aboutAlert(const Config& config, std::string_view machine = "Mac");

// The launch message, shown once a second after a start with setup completed.
Alert launchAlert(std::int64_t threshold);

// Low Power Mode switched on because the level is at or below the threshold:
// sent by the launch check and by a threshold change.
Notification thresholdSwitchNotification(std::int64_t level, std::int64_t threshold);

// A threshold change that did not switch anything.
Notification thresholdUpdatedNotification(std::int64_t threshold);

// Smart AI Mode switched on, with the predictor's progress.
Notification smartModeEnabledNotification(bool hasEnoughData, std::int64_t daysCollected,
                                          std::int64_t targetMinutes);

// Smart AI Mode switched off.
Notification smartModeDisabledNotification(std::int64_t threshold);

// Low Power Mode switched on by a check pass; the subtitle tells which rule decided.
Notification automaticSwitchNotification(std::string_view subtitle);

}  // namespace kestrine
