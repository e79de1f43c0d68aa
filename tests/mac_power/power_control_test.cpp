#include "mac_power/power_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tuple>

#include "mac_power/first_launch_setup.h"
#include "platform/fake/scripted_power_sources.h"
#include "platform/fake/scripted_tool_runner.h"
#include "support/answer_in_turn.h"

namespace kestrine {
namespace {

using ::testing::ElementsAre;
using testing_support::answerInTurn;

SystemTools relocatedTools() {
  return {.pmset = "/opt/k/pmset",
          .sudo = "/opt/k/sudo",
          .osascript = "/opt/k/osascript",
          .sudoersDirectory = "/etc/sudoers.d",
          .rulePmsetPath = "/opt/k/pmset"};
}

class PowerControlTest : public ::testing::Test {
 protected:
  std::vector<fake::ToolRun> runs() const { return record.all<fake::ToolRun>(); }

  fake::Recorder record;
  fake::ScriptedToolRunner runner{nullptr, &record};
  fake::ScriptedPowerSources sources;
  PowerControl power{runner, sources, relocatedTools(), std::chrono::milliseconds{250}};
};

// The reports are captured within the time limit, whatever their outcome.
TEST_F(PowerControlTest, ReportOutcomes) {
  struct Case {
    const char* name;
    ToolResult result;
    bool onBattery;
    std::optional<PowerMode> mode;
  };
  const std::string both = "Battery Power:\n lowpowermode 1\n";
  const Case cases[] = {
      {"exit status ignored", fake::exitedWith(3, both), true, PowerMode::kLowPower},
      {"not started", fake::failedToStart("Could not start"), false, std::nullopt},
      {"timed out", testing_support::timedOutWith(both), false, std::nullopt},
      {"ac only", fake::exitedWith(0, "AC Power:\n lowpowermode 1\n"), false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    record.clear();
    answerInTurn(runner, {c.result, c.result});
    EXPECT_EQ(power.isOnBattery(), c.onBattery);
    EXPECT_EQ(power.getPowerMode(), c.mode);
    const auto runs = this->runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].request.program, "/opt/k/pmset");
    EXPECT_THAT(runs[0].request.arguments, ElementsAre("-g", "batt"));
    EXPECT_THAT(runs[1].request.arguments, ElementsAre("-g", "custom"));
    for (const auto& run : runs) {
      EXPECT_TRUE(run.request.captureOutput);
      EXPECT_EQ(run.request.timeout, std::chrono::milliseconds{250});
    }
  }
}

// sudo -n first, which never waits, then the password dialog, closed at its limit.
TEST_F(PowerControlTest, SetPowerModeTriesSudoFirstThenThePasswordDialog) {
  const std::tuple<const char*, std::vector<ToolResult>, bool> cases[] = {
      {"RuleInstalled", {fake::exitedWith(0)}, true},
      {"NoRuleDialogAccepted", {fake::exitedWith(1), fake::exitedWith(0)}, true},
      {"DialogCancelled", {fake::exitedWith(1), fake::exitedWith(1)}, false},
      {"DialogUnanswered", {fake::exitedWith(1), testing_support::timedOutWith("")}, false},
      {"NeitherStarts", {fake::failedToStart("x"), fake::failedToStart("y")}, false}};
  for (const auto& [name, results, switched] : cases) {
    SCOPED_TRACE(name);
    record.clear();
    answerInTurn(runner, results);
    EXPECT_EQ(power.setPowerMode(PowerMode::kLowPower), switched);
    const auto runs = this->runs();
    ASSERT_EQ(runs.size(), results.size());
    const ToolRequest& sudo = runs[0].request;
    EXPECT_EQ(sudo.program, "/opt/k/sudo");
    EXPECT_THAT(sudo.arguments, ElementsAre("-n", "/opt/k/pmset", "-b", "lowpowermode", "1"));
    EXPECT_FALSE(sudo.captureOutput || sudo.timeout.has_value());
    if (results.size() == 2) {
      const ToolRequest& dialog = runs[1].request;
      EXPECT_EQ(dialog.program, "/opt/k/osascript");
      EXPECT_THAT(dialog.arguments, ElementsAre("-e", switchScript(1)));
      EXPECT_FALSE(dialog.captureOutput);
      EXPECT_EQ(dialog.timeout, kPasswordPromptLimit);
    }
  }
}

TEST_F(PowerControlTest, ModeTextReachesBothCommands) {
  answerInTurn(runner, {fake::exitedWith(1), fake::exitedWith(0)});
  EXPECT_TRUE(power.setPowerMode(PowerMode{-1}));
  const auto runs = this->runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].request.arguments.back(), "-1");
  EXPECT_EQ(runs[1].request.arguments.back(), switchScript(-1));
}

}  // namespace
}  // namespace kestrine
