#include "ui/messages.h"

#include <string>
#include <utility>

#include "version.h"

namespace kestrine {

namespace {

std::string percent(std::int64_t value) { return std::to_string(value) + "%"; }

}  // namespace

std::string_view powerModeName(std::int64_t mode) {
  switch (mode) {
    case 0:
      return "Automatic";
    case 1:
      return "Low Power Mode";
    case 2:
      return "High Power Mode";
    default:
      return "Unknown";
  }
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

Alert powerModeAlert(std::optional<std::int64_t> mode, std::string_view unavailableReason) {
  if (!mode) {
    std::string body = "Unable to retrieve power mode";
    if (!unavailableReason.empty()) body += "\n\n" + std::string(unavailableReason);
    return Alert{.title = "Error", .body = body, .buttons = {}};
  }
  return Alert{.title = "Current Power Mode",
               .body = "Power Mode: " + std::string(powerModeName(*mode)),
               .buttons = {}};
}

Alert aboutAlert(const Config& config, std::string_view machine) {
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
      std::string(machine) +
      "\n"
      "\u2022 Zero battery impact\n"
      "\n"
      "Settings: ~/.kestrine_config.json\n"
      "Learning data: ~/.kestrine_ai_data.json\n"
      "\u00A9 2026 Kestrine";
  return Alert{.title = "Kestrine", .body = std::move(body), .buttons = {}};
}

Alert launchAlert(std::int64_t threshold) {
  const std::string value = std::to_string(threshold);
  return Alert{
      .title = "Kestrine is Running",
      .body = "The app is now active in your menu bar.\n\nCurrent threshold: " + value +
              "%\nLow Power Mode will activate automatically when\nyour battery reaches " + value +
              "%.\n\nClick the battery icon in the menu bar anytime\nto view battery info or "
              "change settings.",
      .buttons = {},
      // Shown at login too, where nobody has just clicked the menu.
      .bringToFront = true,
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

Notification automaticSwitchNotification(std::string_view subtitle) {
  return Notification{
      .title = "Kestrine",
      .subtitle = std::string(subtitle),
      .body = "Low Power Mode enabled automatically",
  };
}

}  // namespace kestrine
