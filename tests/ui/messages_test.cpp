#include "ui/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/check_cycle.h"
#include "platform/linux/wording.h"

namespace kestrine {
namespace {

using linux_desktop::kLinuxWording;

void expectAlert(const Alert& alert, const std::string& title, const std::string& body,
                 bool bringToFront = false) {
  EXPECT_EQ(alert.bringToFront, bringToFront) << title;
  EXPECT_EQ(alert.title, title);
  EXPECT_EQ(alert.body, body);
  EXPECT_TRUE(alert.buttons.empty()) << "information alerts have only the default button";
}

// The wording tables hold the names; the alert picks the mode's own.
TEST(MessagesTest, PowerModeNamesOnEachPlatform) {
  for (const Wording& w : {Wording{}, kLinuxWording}) {
    for (int mode : {0, 1, 2, 3, -1}) {
      const std::string_view name = mode >= 0 && mode < 3 ? w.powerModes[mode] : "Unknown";
      expectAlert(powerModeAlert(PowerMode{mode}, w), "Current Power Mode",
                  "Power Mode: " + std::string(name));
    }
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
  // The copyright line closes it, with no line break after it.
  EXPECT_TRUE(smart.ends_with("\n(c) B"));
}

TEST(MessagesTest, LaunchMessageNamesTheThresholdAndTheStatusAreaAndHoldsNoCheck) {
  for (const Wording& w : {Wording{}, kLinuxWording}) {
    const Alert shown = launchAlert(35, w);
    EXPECT_TRUE(shown.bringToFront);
    EXPECT_NE(shown.body.find("battery reaches 35%.\n\nClick the battery icon"), std::string::npos);
    // Nothing shows the icon: no word of clicking it, but how to quit.
    const std::string hidden = launchAlert(35, w, false).body;
    EXPECT_EQ(hidden.find("Click"), std::string::npos);
    EXPECT_TRUE(hidden.starts_with("Current threshold: 35%\n"));
    EXPECT_NE(hidden.find("kestrine --quit"), std::string::npos);
  }
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

// Turning Smart AI Mode on says whether it is ready (the days learnt and the
// minutes it aims at) or still learning; off, it names the threshold. Marked
// patterns show which wording each branch takes and where each value goes.
TEST(MessagesTest, SmartModeNoticesPickTheirBranchAndValues) {
  Wording w;
  w.smartModeReady = {"R%d", "r%d", "b%d"};
  w.smartModeTraining = {"T%d", "t%d", "u%d"};
  w.smartModeDisabled = {"D%d", "d%d", "e%d"};
  const auto parts = [](const Notification& n) {
    return std::vector<std::string>{n.title, n.subtitle, n.body};
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(parts(smartModeEnabledNotification(true, 3, 45, w)), (V{"R3", "r3", "b45"}));
  EXPECT_EQ(parts(smartModeEnabledNotification(false, 1, 45, w)), (V{"T1", "t1", "u"}));
  EXPECT_EQ(parts(smartModeDisabledNotification(25, w)), (V{"D", "d", "e25"}));
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
