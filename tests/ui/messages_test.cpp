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

TEST(MessagesTest, PowerModeNames) {
  struct Case {
    std::int64_t mode;
    std::string name;
  };
  for (const Case& c : {Case{0, "Automatic"}, Case{1, "Low Power Mode"}, Case{2, "High Power Mode"},
                        Case{3, "Unknown"}}) {
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
  expectAlert(batteryInfoErrorAlert(), "Error", "Unable to retrieve battery information");
}

TEST(MessagesTest, AboutNamesTheModeTheMachineAndTheCopyright) {
  const std::string classic = aboutAlert(Config({.threshold = 30}), "Mac", "(c) A").body;
  EXPECT_NE(classic.find("\nCurrent Mode: Threshold: 30%\n"), std::string::npos);
  const std::string smart =
      aboutAlert(Config({.useSmartMode = true, .smartModeTargetMinutes = 45}), "computer", "(c) B")
          .body;
  EXPECT_NE(smart.find("\nCurrent Mode: Smart AI Mode (~45 min)\n"), std::string::npos);
  EXPECT_NE(smart.find("all data stays on your computer\n"), std::string::npos);
  // 21 lines, the last the copyright line, with no line break after it.
  EXPECT_TRUE(smart.ends_with("\n(c) B"));
  EXPECT_EQ(std::count(classic.begin(), classic.end(), '\n'), 20);
}

TEST(MessagesTest, LaunchMessageNamesTheThresholdTwice) {
  const std::string body = launchAlert(35).body;
  EXPECT_NE(body.find("Current threshold: 35%\n"), std::string::npos);
  EXPECT_NE(body.find("your battery reaches 35%."), std::string::npos);
  EXPECT_TRUE(launchAlert(35).bringToFront) << "the launch message must not hide behind windows";
}

}  // namespace
}  // namespace kestrine
