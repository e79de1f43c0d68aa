#include "ui/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/check_cycle.h"

namespace kestrine {
namespace {

void expectAlert(const Alert& alert, const std::string& title, const std::string& body,
                 bool bringToFront = false) {
  EXPECT_EQ(alert.bringToFront, bringToFront) << title;
  EXPECT_EQ(alert.title, title);
  EXPECT_EQ(alert.body, body);
  EXPECT_TRUE(alert.buttons.empty()) << "information alerts have only the default button";
}

TEST(MessagesTest, PowerModeNamesOnEachPlatform) {
  struct Case {
    PowerMode mode;
    std::string mac, linux;
  };
  for (const Case& c :
       {Case{PowerMode::kAutomatic, "Automatic", "Balanced"},
        Case{PowerMode::kLowPower, "Low Power Mode", "Power Saver"},
        Case{PowerMode::kHighPower, "High Power Mode", "Performance"},
        Case{PowerMode{3}, "Unknown", "Unknown"}, Case{PowerMode{-1}, "Unknown", "Unknown"}}) {
    expectAlert(powerModeAlert(c.mode), "Current Power Mode", "Power Mode: " + c.mac);
    expectAlert(powerModeAlert(c.mode, kLinuxWording), "Current Power Mode",
                "Power Mode: " + c.linux);
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
  const std::string classic = aboutAlert(Config{.threshold = 30}).body;
  Wording onLinux = kLinuxWording;
  onLinux.copyright = "(c) B";
  EXPECT_NE(classic.find("\nCurrent Mode: Threshold: 30%\n"), std::string::npos);
  const std::string smart =
      aboutAlert(Config{.useSmartMode = true, .smartModeTargetMinutes = 45}, onLinux).body;
  EXPECT_NE(smart.find("\nCurrent Mode: Smart AI Mode (~45 min)\n"), std::string::npos);
  EXPECT_NE(smart.find("all data stays on your computer\n"), std::string::npos);
  // 21 lines, the last the copyright line, with no line break after it.
  EXPECT_TRUE(smart.ends_with("\n(c) B"));
  EXPECT_EQ(std::count(classic.begin(), classic.end(), '\n'), 20);
}

TEST(MessagesTest, LaunchMessageNamesTheThresholdAndTheStatusAreaAndHoldsNoCheck) {
  const std::string rule =
      "Current threshold: 35%\nLow Power Mode will activate automatically "
      "when\nyour battery reaches 35%.";
  const std::string linuxRule =
      "Current threshold: 35%\nPower Saver will activate automatically "
      "when\nyour battery reaches 35%.";
  expectAlert(launchAlert(35), "Kestrine is Running",
              "The app is now active in your menu bar.\n\n" + rule +
                  "\n\nClick the battery icon in the menu bar anytime\nto view battery info or "
                  "change settings.",
              true);
  expectAlert(launchAlert(35, kLinuxWording), "Kestrine is Running",
              "The app is now active in your panel.\n\n" + linuxRule +
                  "\n\nClick the battery icon in the panel anytime\nto view battery info or "
                  "change settings.",
              true);
  // Nothing shows the icon: no word of clicking it, but how to quit.
  const std::string hidden = launchAlert(35, kLinuxWording, false).body;
  EXPECT_EQ(hidden.find("Click"), std::string::npos);
  EXPECT_EQ(hidden.rfind(linuxRule, 0), 0u);
  EXPECT_NE(hidden.find("kestrine --quit"), std::string::npos);
  EXPECT_FALSE(launchAlert(35).holdsChecks) << "left open, it must not stop the protection";
  EXPECT_TRUE(batteryInfoAlert(50, true, 20).holdsChecks);
}

TEST(MessagesTest, StatusSummaryNamesLevelSourceModeAndRule) {
  const Config classic({.threshold = 20});
  const Config smart({.threshold = 30, .useSmartMode = true, .smartModeTargetMinutes = 60});
  struct Case {
    StatusFacts facts;
    const Config& config;
    std::string text;
  };
  for (const Case& c : {
           Case{{45, true, PowerMode::kAutomatic, std::nullopt},
                classic,
                "Battery 45% · on battery · Balanced · switches at 20%"},
           Case{{80, false, PowerMode::kLowPower, std::nullopt},
                classic,
                "Battery 80% · on AC power · Power Saver · switches at 20%"},
           Case{{std::nullopt, false, std::nullopt, std::nullopt},
                classic,
                "Battery level unknown · on AC power · power mode unknown · switches at 20%"},
           Case{{45, true, PowerMode::kHighPower, 75},
                smart,
                "Battery 45% · on battery · Performance · Smart AI Mode: ~75 min left, "
                "switches at 60 min"},
           // Training or no prediction: the threshold decides.
           Case{{45, true, PowerMode::kAutomatic, std::nullopt},
                smart,
                "Battery 45% · on battery · Balanced · switches at 30%"},
           Case{{45, true, PowerMode::kAutomatic, 75},
                classic,
                "Battery 45% · on battery · Balanced · switches at 20%"},
       }) {
    EXPECT_EQ(statusSummary(c.facts, c.config, kLinuxWording), c.text);
  }
}

TEST(MessagesTest, FillInPutsValuesInTheirPlaces) {
  struct Case {
    std::string_view pattern;
    std::string text;
  };
  // A place with no value stays empty; an unknown conversion and a lone sign stay.
  for (const Case& c : {Case{"%d%% of %s", "12% of a"}, Case{"%2$s then %1$d", "a then 12"},
                        Case{"%d %d %d", "12 a "}, Case{"%3$d, %x, 5%, %", ", %x, 5%, %"}}) {
    EXPECT_EQ(fillIn(c.pattern, {12, "a"}), c.text) << c.pattern;
  }
}

// On Linux every text names the profile as the desktop does, writes one kind
// of percentage, fills in every value, and each notification's title stands
// alone in a collapsed banner; the Mac keeps its own words.
}  // namespace
}  // namespace kestrine
