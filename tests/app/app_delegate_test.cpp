#include "app/app_delegate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform_fixture.h"
#include "ui/messages.h"

namespace kestrine {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using AppDelegateTest = testing::FakePlatformTest;
using testing::readText;
using testing::writeText;

// ---- Start-up ----

// A locked file fails every save: one line and (where the platform tells
// failures) one notification per file, the settings saved again at each pass
// until they are on disk, and told again after a save that succeeded.
TEST_F(AppDelegateTest, FailedSavesAreToldOnceAndTheSettingsSavedAgainUntilOnDisk) {
  writeConfig(Config{.setupComplete = true});
  writeLearningData(PredictionData{});
  sim.platform().notifiesFailures = true;
  mac.onBattery = false;
  launch();
  const auto configFile = Config::configPath(home());
  const auto learningFile = BatteryPredictor::dataPath(home());
  auto lock = [](const std::filesystem::path& file, bool locked) {
    std::filesystem::permissions(
        file, locked ? std::filesystem::perms::owner_read : std::filesystem::perms::owner_all);
  };
  lock(configFile, true);
  lock(learningFile, true);
  app->performMenuAction(MenuAction::kChangeThreshold, 30);
  runPasses(3);
  auto told = [this](const std::string& start) {
    return std::ranges::count_if(seen<fake::Printed>(), [&](const fake::Printed& printed) {
      return printed.line.starts_with(start);
    });
  };
  EXPECT_EQ(told("Failed to save config: "), 1);
  EXPECT_EQ(told("Failed to save prediction data: "), 1);
  std::vector<std::string> subtitles;
  for (const Notification& n : notifications()) subtitles.push_back(n.subtitle);
  EXPECT_THAT(subtitles, ElementsAre("Settings could not be saved", "Threshold Updated",
                                     "Learning data could not be saved"));

  lock(configFile, false);
  lock(learningFile, false);
  runPasses();
  EXPECT_EQ(readConfig()->threshold, 30);
  lock(configFile, true);
  app->performMenuAction(MenuAction::kChangeThreshold, 40);
  EXPECT_EQ(told("Failed to save config: "), 2) << "told again after a save that succeeded";
}

// Without a setup every start is a normal one. The settings file is written
// only where there was none: never over one just read, nor in place of one
// that could not be read, which is set aside, and the user is told where.
class StartWithoutSetup : public AppDelegateTest,
                          public ::testing::WithParamInterface<std::optional<std::string>> {};

TEST_P(StartWithoutSetup, IsANormalStartAndSavesOnlyWhereNoFileWas) {
  const auto file = Config::configPath(home()), kept = Config::corruptCopyPath(home());
  const std::optional<std::string>& before = GetParam();
  const bool broken = before && !decodeConfig(*before).config;
  sim.platform().oneTimeSetup = nullptr;
  mac.level = 15;
  if (before) writeText(file, *before);
  launch();
  EXPECT_TRUE(app->config().setupComplete);
  EXPECT_EQ(std::filesystem::exists(file) ? readText(file) : "",
            broken ? "" : before.value_or(encodeConfig(Config{.setupComplete = true})));
  ASSERT_EQ(notifications().size(), broken ? 2U : 1U) << "the launch check ran";
  if (broken) {
    EXPECT_EQ(readText(kept), *before);
    EXPECT_THAT(notifications()[0].body, ::testing::HasSubstr(kept.string()));
  }
  sim.loop.runFor(1.0);
  const auto shown = seen<fake::AlertAnswered>();
  ASSERT_EQ(shown.size(), 1U);
  EXPECT_EQ(shown[0].alert.title, "Kestrine is Running");
}

INSTANTIATE_TEST_SUITE_P(Cases, StartWithoutSetup,
                         ::testing::Values(std::nullopt, encodeConfig(Config{.threshold = 30}),
                                           R"({"threshold":35.0})"));

// ---- Setup ----

TEST_F(AppDelegateTest, InstalledSetupSavesAndRunsTheLaunchCheck) {
  mac.level = 15;
  bool savedWhenInstalled = false;
  sim.setup.script = [&](Alerts&, const SetupHooks& hooks) {
    EXPECT_EQ(hooks.thresholdRule(), thresholdRuleText(20));
    hooks.installed();
    savedWhenInstalled = readConfig() && readConfig()->setupComplete;
  };
  launch();
  sim.loop.runFor(1.0);
  EXPECT_TRUE(savedWhenInstalled);
  EXPECT_TRUE(app->config().setupComplete);
  EXPECT_EQ(notifications().size(), 1U) << "the launch check switched";
}

// ---- Day counter ----

// The local calendar decides: at UTC+1 the first pass, just past midnight UTC,
// is still on the 15th. Counting day changes, across month ends too: the
// month_end scenario.
TEST(DayCounter, FollowsTheLocalCalendar) {
  fake::FakeOptions options;
  options.start = fake::wallTimeFromCivil(2026, 3, 15, 0, 59, 45, 3600);
  options.utcOffsetSeconds = 3600;
  fake::FakePlatform sim(options);
  sim.power.onBattery = false;
  std::ofstream(Config::configPath(sim.home.path())) << encodeConfig(Config{.setupComplete = true});
  AppDelegate app(sim.platform());
  app.applicationDidFinishLaunching();
  sim.loop.runFor(1.0);
  sim.loop.step();  // the first pass
  EXPECT_EQ(app.batteryPredictor()->getDaysCollected(), 0);
  EXPECT_EQ(app.lastDayRecorded(), 15);
}

// ---- Commands ----

// The notices themselves: the smart_prediction and month_end scenarios.
TEST_F(AppDelegateTest, ToggleSmartModeSavesRebuildsAndNotifies) {
  writeConfig(Config{.threshold = 20, .setupComplete = true});
  launch();
  sim.loop.runFor(1.0);
  app->performMenuAction(MenuAction::kToggleSmartMode);
  EXPECT_TRUE(readConfig()->useSmartMode);
  EXPECT_EQ(sim.statusBar.menu()->items[0].title, "✓ Smart AI Mode (1 hour)");

  app->performMenuAction(MenuAction::kToggleSmartMode);
  EXPECT_EQ(notifications().size(), 2U);
  EXPECT_FALSE(readConfig()->useSmartMode);
  EXPECT_EQ(switchAttempts(), 0U);
}

struct ThresholdCase {
  std::string name;
  std::int64_t tag;
  std::optional<std::int64_t> level;
  bool onBattery;
  std::optional<PowerMode> mode;
  bool switchSucceeds;
  std::string subtitle;
  std::size_t switchAttempts;
};

void PrintTo(const ThresholdCase& c, std::ostream* os) { *os << c.name; }

class ChangeThresholdTest : public testing::FakePlatformTest,
                            public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(ChangeThresholdTest, TestsInOrderAndNotifies) {
  const ThresholdCase& c = GetParam();
  writeConfig(Config{.threshold = 20, .setupComplete = true});
  launch();
  sim.loop.runFor(1.0);
  mac.level = c.level;
  mac.onBattery = c.onBattery;
  mac.mode = c.mode;
  mac.switchSucceeds = c.switchSucceeds;

  app->performMenuAction(MenuAction::kChangeThreshold, c.tag);

  EXPECT_EQ(app->config().threshold, c.tag);
  EXPECT_EQ(readConfig()->threshold, c.tag);
  EXPECT_EQ(sim.statusBar.menu()->items[1].title, "Threshold: " + std::to_string(c.tag) + "%");
  ASSERT_EQ(notifications().size(), 1U);
  EXPECT_EQ(notifications()[0].title, "Kestrine");
  EXPECT_EQ(notifications()[0].subtitle, c.subtitle);
  EXPECT_EQ(notifications()[0].body,
            c.subtitle == "Threshold Updated"
                ? "Low Power Mode will activate at " + std::to_string(c.tag) + "%"
                : "Low Power Mode enabled (threshold: " + std::to_string(c.tag) + "%)");
  EXPECT_EQ(switchAttempts(), c.switchAttempts);
  EXPECT_FALSE(app->notificationShown()) << "the command leaves the latch alone";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChangeThresholdTest,
    ::testing::Values(ThresholdCase{"SwitchesBelow", 30, 25, true, PowerMode::kAutomatic, true,
                                    "Battery at 25%", 1},
                      ThresholdCase{"SwitchesAtEquality", 30, 30, true, PowerMode::kAutomatic, true,
                                    "Battery at 30%", 1},
                      ThresholdCase{"OnMains", 30, 25, false, PowerMode::kAutomatic, true,
                                    "Threshold Updated", 0},
                      ThresholdCase{"PasswordCancelled", 30, 25, true, PowerMode::kAutomatic, false,
                                    "Threshold Updated", 1}),
    [](const auto& info) { return info.param.name; });

// ---- Information dialogs and menu routing ----

TEST_F(AppDelegateTest, InformationDialogsReadTheLiveState) {
  writeConfig(Config{.threshold = 20, .setupComplete = true, .useSmartMode = true});
  launch();
  sim.loop.runFor(1.0);
  sim.record.clear();

  mac.level = 57;
  mac.onBattery = false;
  app->performMenuAction(MenuAction::kShowBatteryInfo);
  mac.level = std::nullopt;
  app->performMenuAction(MenuAction::kShowBatteryInfo);
  mac.mode = PowerMode::kHighPower;
  mac.unavailableReason = "The service is missing.";  // asked only when no mode can be read
  app->performMenuAction(MenuAction::kShowPowerMode);
  mac.mode = std::nullopt;
  app->performMenuAction(MenuAction::kShowPowerMode);
  app->performMenuAction(MenuAction::kShowAbout);

  const auto shown = seen<fake::AlertAnswered>();
  ASSERT_EQ(shown.size(), 5U);
  EXPECT_EQ(shown[0].alert.body, batteryInfoAlert(57, false, 20).body);
  EXPECT_EQ(shown[1].alert.body, batteryInfoErrorAlert().body);
  EXPECT_EQ(shown[2].alert.body, powerModeAlert(PowerMode::kHighPower).body);
  EXPECT_EQ(shown[3].alert.body, "Unable to retrieve power mode\n\nThe service is missing.");
  EXPECT_THAT(shown[4].alert.body,
              ::testing::HasSubstr("\nCurrent Mode: Smart AI Mode (~60 min)\n"));
  // The power source is read for the first dialog only: not when there is no level.
  EXPECT_EQ(asked(fake::PowerRequest::kOnBattery), 1U);
  EXPECT_TRUE(notifications().empty());
}

// ---- Quit and lifetime ----

TEST_F(AppDelegateTest, QuitOnlyStopsTheTimer) {
  writeConfig(Config{.setupComplete = true});
  launch();
  runPasses();
  const auto configWritten = std::filesystem::last_write_time(Config::configPath(home()));
  const auto dataWritten = std::filesystem::last_write_time(BatteryPredictor::dataPath(home()));
  sim.record.clear();

  app->performMenuAction(MenuAction::kQuit);
  app->applicationWillTerminate();
  EXPECT_TRUE(sim.loop.isTerminated());
  EXPECT_EQ(sim.loop.activeTimerCount(), 0U);
  EXPECT_THAT(seen<fake::PowerRequest>(), IsEmpty()) << "Low Power Mode is left as it is";
  EXPECT_EQ(std::filesystem::last_write_time(Config::configPath(home())), configWritten);
  EXPECT_EQ(std::filesystem::last_write_time(BatteryPredictor::dataPath(home())), dataWritten);
  EXPECT_THAT(seen<fake::Printed>(), IsEmpty());
}

// A main loop whose timers keep running when their handle is destroyed, as a
// run loop that holds its own reference to a timer would.
class UnstoppedTimersLoop final : public MainLoop {
 public:
  explicit UnstoppedTimersLoop(MainLoop& inner) : inner_(inner) {}
  std::unique_ptr<Timer> scheduleRepeating(double interval, std::function<void()> cb) override {
    kept_.push_back(inner_.scheduleRepeating(interval, std::move(cb)));
    return std::make_unique<Handle>();
  }
  void callAfter(double delay, std::function<void()> cb) override {
    inner_.callAfter(delay, std::move(cb));
  }
  void terminate() override { inner_.terminate(); }
  void enterModal() override { inner_.enterModal(); }
  void leaveModal() override { inner_.leaveModal(); }

 private:
  struct Handle final : Timer {
    void invalidate() override {}
  };
  MainLoop& inner_;
  std::vector<std::unique_ptr<Timer>> kept_;
};

TEST_F(AppDelegateTest, CallbacksDoNothingOnceTheDelegateIsGone) {
  for (bool setupComplete : {false, true}) {
    SCOPED_TRACE(setupComplete ? "launch message pending" : "setup pending");
    writeConfig(Config{.setupComplete = setupComplete});
    UnstoppedTimersLoop loop(sim.loop);
    const Platform& base = sim.platform();
    Platform platform{.statusBar = base.statusBar,
                      .alerts = base.alerts,
                      .notifier = base.notifier,
                      .mainLoop = loop,
                      .power = base.power,
                      .clock = base.clock,
                      .home = base.home,
                      .console = base.console};
    auto delegate = std::make_unique<AppDelegate>(platform);
    delegate->applicationDidFinishLaunching();  // the one-shot is due in a second
    delegate.reset();
    sim.record.clear();

    sim.loop.runFor(120.0);
    EXPECT_EQ(sim.loop.activeTimerCount(), 1U) << "the timer itself still fires";
    EXPECT_THAT(seen<fake::PowerRequest>(), IsEmpty());
    EXPECT_THAT(seen<fake::AlertAnswered>(), IsEmpty());
  }
}

// Opening the running application again shows the launch message, but never
// over an alert of its own (here the launch message itself, open for 60 s).
TEST_F(AppDelegateTest, ReopeningShowsTheLaunchMessageUnlessAnAlertIsOpen) {
  writeConfig(Config{.threshold = 30, .setupComplete = true});
  sim.alerts.queueAnswer(kAlertFirstButton, 60.0);
  sim.loop.callAfter(30.0, [this] { app->applicationShouldHandleReopen(); });
  launch();
  sim.loop.runFor(90.0);
  app->applicationShouldHandleReopen();
  const auto shown = seen<fake::AlertAnswered>();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].alert.body, shown[0].alert.body);
  EXPECT_EQ(shown[1].shownAt, sim.loop.now());
}

}  // namespace
}  // namespace kestrine
