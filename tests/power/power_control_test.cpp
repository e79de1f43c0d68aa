#include "power/power_control.h"
#include "platform/sim/fixed_user_name.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ostream>

#include "power/fakes.h"

namespace kestrine {
namespace {

using ::testing::ElementsAre;
using testing_fakes::FakePowerSources;
using testing_fakes::FakeToolRunner;

SystemTools linuxLikeTools() {
  return SystemTools{
      .pmset = "/opt/k/pmset",
      .sudo = "/opt/k/sudo",
      .osascript = "/opt/k/osascript",
      .sudoersDirectory = "/etc/sudoers.d",
      .sudoPmsetName = "/opt/k/pmset",
      .rulePmsetPath = "/opt/k/pmset",
  };
}

TEST(SwitchCommandLines, ByteExactForModes) {
  struct Case {
    std::int64_t mode;
    const char* text;
  };
  for (const Case& c : {Case{1, "1"}, Case{0, "0"}, Case{-1, "-1"}}) {
    SCOPED_TRACE(c.mode);
    EXPECT_THAT(sudoSwitchArguments(macSystemTools(), c.mode),
                ElementsAre("-n", "pmset", "-b", "lowpowermode", c.text));
    EXPECT_EQ(switchScript(c.mode),
              std::string("do shell script \"pmset -b lowpowermode ") + c.text +
                  "\" with administrator privileges with prompt \"Kestrine needs your password "
                  "to change Low Power Mode.\"");
  }
  EXPECT_EQ(switchScript(1),
            "do shell script \"pmset -b lowpowermode 1\" with administrator privileges with "
            "prompt \"Kestrine needs your password to change Low Power Mode.\"");
}

TEST(SwitchCommandLines, SudoNamesThePlatformsTool) {
  EXPECT_THAT(sudoSwitchArguments(linuxLikeTools(), 1),
              ElementsAre("-n", "/opt/k/pmset", "-b", "lowpowermode", "1"));
}

class PowerControlTest : public ::testing::Test {
 protected:
  FakeToolRunner runner;
  FakePowerSources sources;
  sim::FixedUserName user;
  PowerControl power{runner, sources, user, linuxLikeTools(), std::chrono::milliseconds{250}};
};

TEST_F(PowerControlTest, BatteryLevelAsksTheSourcesEveryTime) {
  sources.sources = PowerSourceList{PowerSourceDescription{{"Current Capacity", std::int64_t{42}}}};
  EXPECT_EQ(power.getBatteryLevel(), 42);
  sources.sources.reset();
  EXPECT_EQ(power.getBatteryLevel(), std::nullopt);
  EXPECT_EQ(sources.calls, 2);
  EXPECT_TRUE(runner.requests.empty());
}

TEST_F(PowerControlTest, ReportsAreCapturedWithTheTimeLimit) {
  runner.results = {FakeToolRunner::exited(0, "Now drawing from 'Battery Power'\n"),
                    FakeToolRunner::exited(0, "Battery Power:\n lowpowermode 1\n")};
  EXPECT_TRUE(power.isOnBattery());
  EXPECT_EQ(power.getPowerMode(), 1);
  ASSERT_EQ(runner.requests.size(), 2u);
  EXPECT_EQ(runner.requests[0].program, "/opt/k/pmset");
  EXPECT_THAT(runner.requests[0].arguments, ElementsAre("-g", "batt"));
  EXPECT_THAT(runner.requests[1].arguments, ElementsAre("-g", "custom"));
  for (const auto& request : runner.requests) {
    EXPECT_TRUE(request.captureOutput);
    EXPECT_EQ(request.timeout, std::chrono::milliseconds{250});
  }
}

TEST_F(PowerControlTest, ReportOutcomes) {
  struct Case {
    const char* name;
    ToolResult result;
    bool onBattery;
    std::optional<std::int64_t> mode;
  };
  const std::string both = "Battery Power:\n lowpowermode 1\n";
  const Case cases[] = {
      {"exit status ignored", FakeToolRunner::exited(3, both), true, 1},
      {"not started", FakeToolRunner::notStarted("Could not start"), false, std::nullopt},
      {"timed out", FakeToolRunner::timedOut(both), false, std::nullopt},
      {"ac only", FakeToolRunner::exited(0, "AC Power:\n lowpowermode 1\n"), false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    runner.results = {c.result, c.result};
    EXPECT_EQ(power.isOnBattery(), c.onBattery);
    EXPECT_EQ(power.getPowerMode(), c.mode);
  }
}

struct SwitchCase {
  const char* name;
  std::vector<ToolResult> results;
  bool switched;
  std::size_t runs;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

class SetPowerMode : public PowerControlTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SetPowerMode, SudoFirstThenThePasswordDialog) {
  runner.results.assign(GetParam().results.begin(), GetParam().results.end());
  EXPECT_EQ(power.setPowerMode(1), GetParam().switched);
  ASSERT_EQ(runner.requests.size(), GetParam().runs);
  EXPECT_EQ(runner.requests[0].program, "/opt/k/sudo");
  EXPECT_THAT(runner.requests[0].arguments,
              ElementsAre("-n", "/opt/k/pmset", "-b", "lowpowermode", "1"));
  if (GetParam().runs == 2) {
    EXPECT_EQ(runner.requests[1].program, "/opt/k/osascript");
    EXPECT_THAT(runner.requests[1].arguments, ElementsAre("-e", switchScript(1)));
  }
  for (const auto& request : runner.requests) {
    EXPECT_FALSE(request.captureOutput);
    EXPECT_FALSE(request.timeout.has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SetPowerMode,
    ::testing::Values(
        SwitchCase{"RuleInstalled", {FakeToolRunner::exited(0)}, true, 1},
        SwitchCase{"NoRuleDialogAccepted",
                   {FakeToolRunner::exited(1), FakeToolRunner::exited(0)},
                   true,
                   2},
        SwitchCase{
            "DialogCancelled", {FakeToolRunner::exited(1), FakeToolRunner::exited(1)}, false, 2},
        SwitchCase{
            "SudoMissing", {FakeToolRunner::notStarted("x"), FakeToolRunner::exited(0)}, true, 2},
        SwitchCase{"NeitherStarts",
                   {FakeToolRunner::notStarted("x"), FakeToolRunner::notStarted("y")},
                   false,
                   2},
        SwitchCase{
            "SudoKilled", {FakeToolRunner::exited(128 + 15), FakeToolRunner::exited(0)}, true, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PowerControlTest, ModeTextReachesBothCommands) {
  runner.results = {FakeToolRunner::exited(1), FakeToolRunner::exited(0)};
  EXPECT_TRUE(power.setPowerMode(-1));
  ASSERT_EQ(runner.requests.size(), 2u);
  EXPECT_EQ(runner.requests[0].arguments.back(), "-1");
  EXPECT_EQ(runner.requests[1].arguments.back(), switchScript(-1));
}

}  // namespace
}  // namespace kestrine
