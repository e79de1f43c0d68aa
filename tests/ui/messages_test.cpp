#include "ui/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kestrine {
namespace {

void expectAlert(const Alert& alert, const std::string& title, const std::string& body,
                 bool bringToFront = false) {
  EXPECT_EQ(alert.bringToFront, bringToFront) << title;
  EXPECT_EQ(alert.title, title);
  EXPECT_EQ(alert.body, body);
  EXPECT_TRUE(alert.buttons.empty()) << "information alerts have only the default button";
}

void expectNotice(const Notification& n, const std::string& title, const std::string& subtitle,
                  const std::string& body) {
  EXPECT_EQ(n.title, title);
  EXPECT_EQ(n.subtitle, subtitle);
  EXPECT_EQ(n.body, body);
}

TEST(MessagesTest, PowerModeNames) {
  struct Case {
    std::int64_t mode;
    std::string name;
  };
  for (const Case& c : {Case{0, "Automatic"}, Case{1, "Low Power Mode"}, Case{2, "High Power Mode"},
                        Case{3, "Unknown"}, Case{-1, "Unknown"}}) {
    EXPECT_EQ(powerModeName(c.mode), c.name) << c.mode;
    expectAlert(powerModeAlert(c.mode), "Current Power Mode", "Power Mode: " + c.name);
  }
  expectAlert(powerModeAlert(std::nullopt), "Error", "Unable to retrieve power mode");
}

TEST(MessagesTest, BatteryInformation) {
  expectAlert(batteryInfoAlert(57, false, 20), "Battery Information",
              "Battery Level: 57%\nPower Source: AC Power\nThreshold: 20%");
  expectAlert(batteryInfoAlert(57, true, 20), "Battery Information",
              "Battery Level: 57%\nPower Source: Battery\nThreshold: 20%");
  expectAlert(batteryInfoAlert(150, true, 100), "Battery Information",
              "Battery Level: 150%\nPower Source: Battery\nThreshold: 100%");
  expectAlert(batteryInfoErrorAlert(), "Error", "Unable to retrieve battery information");
}

std::string aboutBody(const std::string& mode) {
  return "Automatic Low Power Mode Manager\n\nVersion: 1.1.0 (AI Enhanced)\nCurrent Mode: " + mode +
         "\n\nIcon Legend:\n"
         "\xF0\x9F\x92\xA4 - Low Power Mode ON\n"
         "\xF0\x9F\x94\x8C - Charging (AC Power)\n"
         "\xF0\x9F\x94\x8B - On Battery (normal)\n"
         "\xF0\x9F\xAA\xAB - Low Battery\n"
         "\xE2\x9A\xA1 - At Threshold\n"
         "\nFeatures:\n"
         "\xE2\x80\xA2 Classic threshold-based mode\n"
         "\xE2\x80\xA2 AI-powered Smart Mode (predicts 1-hour remaining)\n"
         "\xE2\x80\xA2 Local ML - all data stays on your Mac\n"
         "\xE2\x80\xA2 Zero battery impact\n"
         "\n"
         "Settings: ~/.kestrine_config.json\n"
         "Learning data: ~/.kestrine_ai_data.json\n"
         "\xC2\xA9 2026 Kestrine";
}

TEST(MessagesTest, AboutNamesTheCurrentMode) {
  expectAlert(aboutAlert(Config({.threshold = 30})), "Kestrine", aboutBody("Threshold: 30%"));
  expectAlert(
      aboutAlert(Config({.threshold = 30, .useSmartMode = true, .smartModeTargetMinutes = 60})),
      "Kestrine", aboutBody("Smart AI Mode (~60 min)"));
  // 21 lines, the body does not end in a line break.
  const std::string body = aboutAlert(Config()).body;
  EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 20);
  EXPECT_NE(body.back(), '\n');
}

TEST(MessagesTest, LaunchMessageNamesTheThresholdTwice) {
  expectAlert(launchAlert(20), "Kestrine is Running",
              "The app is now active in your menu bar.\n\nCurrent threshold: 20%\nLow Power Mode "
              "will activate automatically when\nyour battery reaches 20%.\n\nClick the battery "
              "icon in the menu bar anytime\nto view battery info or change settings.",
              /*bringToFront=*/true);
}

TEST(MessagesTest, Notifications) {
  expectNotice(thresholdSwitchNotification(25, 30), "Kestrine", "Battery at 25%",
               "Low Power Mode enabled (threshold: 30%)");
  expectNotice(thresholdUpdatedNotification(30), "Kestrine", "Threshold Updated",
               "Low Power Mode will activate at 30%");
  expectNotice(smartModeEnabledNotification(false, 0, 60), "Smart AI Mode Enabled",
               "Training... (0/2 days)", "Using threshold mode until AI has enough data");
  expectNotice(smartModeEnabledNotification(true, 4, 60), "Smart AI Mode Enabled",
               "AI Ready (4 days trained)", "LPM will activate when ~60 min remaining");
  expectNotice(smartModeDisabledNotification(20), "Smart AI Mode Disabled",
               "Classic Threshold Mode", "LPM will activate at 20%");
  expectNotice(automaticSwitchNotification("~60 min remaining (Smart AI Mode)"), "Kestrine",
               "~60 min remaining (Smart AI Mode)", "Low Power Mode enabled automatically");
}

}  // namespace
}  // namespace kestrine
