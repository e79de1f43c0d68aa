#include "app/check_cycle.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fake_platform_fixture.h"
#include "platform/linux/wording.h"

namespace kestrine {
namespace {

using linux_desktop::kLinuxWording;

// ---- The decision of a pass on battery, as a pure function ----

struct DecisionCase {
  std::string name;
  std::int64_t level;
  std::int64_t threshold;
  bool smartMode;
  bool ready;
  std::optional<std::int64_t> prediction;
  bool conditionMet;
  std::string subtitle;  // used when the condition is met
};

void PrintTo(const DecisionCase& c, std::ostream* os) { *os << c.name; }

class DecisionTest : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(DecisionTest, FollowsTheRuleOfTheMode) {
  const DecisionCase& c = GetParam();
  const Config config(
      {.threshold = c.threshold, .useSmartMode = c.smartMode, .smartModeTargetMinutes = 60});
  const LowBatteryDecision decision = decideLowBattery(c.level, config, c.ready, c.prediction);
  EXPECT_EQ(decision.conditionMet, c.conditionMet);
  EXPECT_EQ(decision.subtitle, c.subtitle);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecisionTest,
    ::testing::Values(DecisionCase{"ThresholdAbove", 21, 20, false, false, std::nullopt, false,
                                   "Battery at 21%"},
                      DecisionCase{"ThresholdEqualCounts", 20, 20, false, false, std::nullopt, true,
                                   "Battery at 20%"},
                      DecisionCase{"ClassicIgnoresAReadyPredictor", 50, 20, false, true, 10, false,
                                   "Battery at 50%"},
                      DecisionCase{"SmartAtTarget", 50, 20, true, true, 60, true,
                                   "~60 min remaining (Smart AI Mode)"},
                      DecisionCase{"SmartAboveTargetWhateverTheLevel", 10, 20, true, true, 61,
                                   false, "~61 min remaining (Smart AI Mode)"},
                      DecisionCase{"FallbackBelow", 15, 20, true, true, std::nullopt, true,
                                   "Battery at 15% (fallback)"},
                      DecisionCase{"TrainingUsesPlainThreshold", 15, 20, true, false, std::nullopt,
                                   true, "Battery at 15%"},
                      DecisionCase{"TrainingIgnoresAnyPrediction", 50, 20, true, false, 10, false,
                                   "Battery at 50%"}),
    [](const auto& info) { return info.param.name; });

// ---- Passes of the running application ----

using CheckCycleTest = testing::FakePlatformTest;

struct PassCase {
  std::string name;
  bool onBattery;
  std::int64_t level;
  bool smartMode;
  bool ready;
  // A discharging sample this many seconds before the pass, `recentDrop`
  // points above the pass's level; none: no recent discharge, so no prediction.
  std::optional<double> recentSampleAge;
  std::optional<std::string> subtitle;  // the notification; none: no switch attempt
  std::int64_t recentDrop = 1;
};

void PrintTo(const PassCase& c, std::ostream* os) { *os << c.name; }

class CheckPassTest : public testing::FakePlatformTest,
                      public ::testing::WithParamInterface<PassCase> {};

TEST_P(CheckPassTest, SwitchesAndNotifiesByTheRule) {
  const PassCase& c = GetParam();
  writeConfig(Config{.threshold = 20, .setupComplete = true, .useSmartMode = c.smartMode});
  PredictionData data = c.ready ? readyData() : PredictionData{};
  if (c.recentSampleAge) {
    // The pass comes 30 s after launch.
    data.snapshots.push_back(
        BatterySnapshot{.timestamp = sim.loop.now() + 30.0 - *c.recentSampleAge,
                        .batteryPercent = c.level + c.recentDrop,
                        .isCharging = false,
                        .screenBrightness = 0.5F});
  }
  writeLearningData(data);
  mac.onBattery = c.onBattery;
  mac.level = 100;  // the launch check stays out of the way
  launch();
  sim.loop.runFor(1.0);  // the launch message
  mac.level = c.level;

  runPasses();

  EXPECT_EQ(app->lastBatteryLevel(), c.level);
  EXPECT_EQ(switchAttempts(), c.subtitle ? 1U : 0U);
  EXPECT_EQ(app->notificationShown(), c.subtitle.has_value());
  EXPECT_EQ(mac.mode, c.subtitle ? PowerMode::kLowPower : PowerMode::kAutomatic);
  ASSERT_EQ(notifications().size(), c.subtitle ? 1U : 0U);
  for (const Notification& n : notifications()) EXPECT_EQ(n.subtitle, *c.subtitle);
}

// With a sample 5 minutes earlier 5 points higher the rate is 1 point a minute,
// so the prediction is level * 0.9 truncated: 67 -> 60, 68 -> 61. A shorter
// discharge gives no prediction at all.
INSTANTIATE_TEST_SUITE_P(Table, CheckPassTest,
                         ::testing::Values(PassCase{"PluggedInNeverSwitches", false, 5, false,
                                                    false, std::nullopt, std::nullopt},
                                           PassCase{"SmartAtTarget", true, 67, true, true, 300.0,
                                                    "~60 min remaining (Smart AI Mode)", 5},
                                           PassCase{"SmartAboveTarget", true, 68, true, true, 300.0,
                                                    std::nullopt, 5}),
                         [](const auto& info) { return info.param.name; });

TEST_F(CheckCycleTest, NoBatteryLevelMeansNothingHappensInThePass) {
  writeConfig(Config{.setupComplete = true});
  launch();
  sim.loop.runFor(1.0);
  mac.level = std::nullopt;
  sim.record.clear();
  runPasses(2);
  using fake::PowerRequest;
  EXPECT_EQ(seen<PowerRequest>(), (std::vector{PowerRequest::kLevel, PowerRequest::kLevel}));
  EXPECT_TRUE(seen<fake::TitleSet>().empty()) << "not even the icon is refreshed";
  EXPECT_EQ(app->batteryPredictor()->getSnapshotCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(BatteryPredictor::dataPath(home())));
}

TEST_F(CheckCycleTest, PluggedInRecordsChargingSnapshotsAndRefreshesTheIcon) {
  writeConfig(Config{.setupComplete = true});
  mac.onBattery = false;
  mac.level = 10;
  launch();
  runPasses(2);
  ASSERT_EQ(app->batteryPredictor()->getSnapshotCount(), 2);
  EXPECT_TRUE(app->batteryPredictor()->data().snapshots.back().isCharging);
  EXPECT_EQ(sim.statusBar.title(), "🔌");
  EXPECT_EQ(switchAttempts(), 0U);
}

// ---- The latch over episodes of low battery ----

TEST_F(CheckCycleTest, ModeAlreadyOnOrUnreadableLeavesTheLatchAlone) {
  writeConfig(Config{.setupComplete = true});
  launch();
  mac.level = 15;
  runPasses();  // switched and notified: latch set
  ASSERT_TRUE(app->notificationShown());

  for (std::optional<PowerMode> mode :
       std::vector<std::optional<PowerMode>>{PowerMode::kLowPower, std::nullopt}) {
    mac.mode = mode;
    runPasses();
    EXPECT_EQ(switchAttempts(), 1U);
    EXPECT_TRUE(app->notificationShown());
  }
  mac.mode = PowerMode::kAutomatic;
  runPasses();
  EXPECT_EQ(switchAttempts(), 2U);
  EXPECT_EQ(notifications().size(), 1U) << "the latch survived, so the re-switch is silent";
}

// Told once per episode, in the platform's words, from the launch check on;
// a platform that cannot say why (the Mac's) tells nothing.
TEST_F(CheckCycleTest, AFailedSwitchIsToldOncePerEpisodeWithItsReason) {
  writeConfig(Config{.setupComplete = true});
  sim.platform().wording = kLinuxWording;
  mac.level = 15;
  mac.switchSucceeds = false;
  mac.failure = SwitchFailure::kNotAllowed;
  launch();
  runPasses(2);
  EXPECT_EQ(switchAttempts(), 3U);
  ASSERT_EQ(notifications().size(), 1U);
  EXPECT_EQ(notifications()[0].title, "Power Saver could not be turned on");
  EXPECT_NE(notifications()[0].body.find("polkit"), std::string::npos);

  mac.onBattery = false;
  runPasses();
  mac.onBattery = true;
  mac.failure = SwitchFailure::kNoAnswer;
  runPasses(2);
  ASSERT_EQ(notifications().size(), 2U) << "a new episode tells again";
  EXPECT_NE(notifications()[1].body.find("did not answer"), std::string::npos);

  mac.failure.reset();  // a port that cannot say why: nothing told
  mac.level = 50;
  runPasses();
  mac.level = 15;
  runPasses();
  EXPECT_EQ(notifications().size(), 2U);
}

// Plugging in clears it too: the plug_cycle scenario.
TEST_F(CheckCycleTest, RisingAboveTheThresholdClearsTheLatch) {
  writeConfig(Config{.setupComplete = true});
  launch();
  mac.level = 15;
  runPasses();
  ASSERT_EQ(notifications().size(), 1U);
  mac.level = 21;
  runPasses();
  EXPECT_FALSE(app->notificationShown());
  mac.level = 20;
  mac.mode = PowerMode::kAutomatic;
  runPasses();
  ASSERT_EQ(notifications().size(), 2U);
  EXPECT_EQ(notifications()[1].subtitle, "Battery at 20%");
}

// ---- The launch check ----

struct LaunchCase {
  std::string name;
  bool onBattery;
  std::int64_t level;
  std::optional<PowerMode> mode;
  bool smartMode;
  bool switched;
  std::int64_t lastLevel;
};

void PrintTo(const LaunchCase& c, std::ostream* os) { *os << c.name; }

class LaunchCheckTest : public testing::FakePlatformTest,
                        public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(LaunchCheckTest, UsesTheThresholdAlone) {
  const LaunchCase& c = GetParam();
  writeConfig(Config{.threshold = 20, .setupComplete = true, .useSmartMode = c.smartMode});
  writeLearningData(readyData());
  mac.onBattery = c.onBattery;
  mac.level = c.level;
  mac.mode = c.mode;
  launch();

  EXPECT_EQ(app->lastBatteryLevel(), c.lastLevel);
  EXPECT_FALSE(app->notificationShown());
  EXPECT_EQ(app->batteryPredictor()->getSnapshotCount(), 100) << "no snapshot at launch";
  EXPECT_EQ(mac.mode, c.switched ? PowerMode::kLowPower : c.mode);
  ASSERT_EQ(notifications().size(), c.switched ? 1U : 0U);
  if (c.switched) {
    EXPECT_EQ(notifications()[0].subtitle, "Battery at " + std::to_string(c.level) + "%");
    EXPECT_EQ(notifications()[0].body, "Low Power Mode enabled (threshold: 20%)");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LaunchCheckTest,
    ::testing::Values(
        LaunchCase{"AtThreshold", true, 20, PowerMode::kAutomatic, false, true, 20},
        LaunchCase{"AboveThresholdStoresLevel", true, 21, PowerMode::kAutomatic, false, false, 21},
        LaunchCase{"PluggedInStoresNothing", false, 5, PowerMode::kAutomatic, false, false, 100},
        LaunchCase{"AlreadyOn", true, 10, PowerMode::kLowPower, false, false, 10},
        LaunchCase{"ModeUnreadable", true, 10, std::nullopt, false, false, 10},
        LaunchCase{"SmartModeStillByThreshold", true, 15, PowerMode::kAutomatic, true, true, 15}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kestrine
