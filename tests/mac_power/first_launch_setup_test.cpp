#include "mac_power/first_launch_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ostream>

#include "platform/fake/fixed_user_name.h"
#include "platform/fake/scripted_alerts.h"
#include "platform/fake/scripted_power_sources.h"
#include "platform/fake/scripted_tool_runner.h"
#include "support/answer_in_turn.h"

namespace kestrine {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing_support::answerInTurn;

const std::string kErrorEnd =
    "\n\nThe app will still work but may prompt for\nyour password when enabling Low Power Mode.";

TEST(SetupTexts, ShellCommandAndScriptOnTheMac) {
  const std::string command =
      "mkdir -p /private/etc/sudoers.d && echo 'alice ALL=(root) NOPASSWD: /usr/bin/pmset -b "
      "lowpowermode 0, /usr/bin/pmset -b lowpowermode 1' > /private/etc/sudoers.d/kestrine.tmp "
      "&& chmod 0440 "
      "/private/etc/sudoers.d/kestrine.tmp && visudo -c -f /private/etc/sudoers.d/kestrine.tmp "
      "&& mv -f /private/etc/sudoers.d/kestrine.tmp /private/etc/sudoers.d/kestrine || { rm -f "
      "/private/etc/sudoers.d/kestrine.tmp; false; }";
  EXPECT_EQ(setupShellCommand("alice", macSystemTools()), command);
  EXPECT_EQ(setupScript("alice", macSystemTools()),
            "do shell script \"" + command +
                "\" with administrator privileges with prompt \"Kestrine needs your password to "
                "set up automatic Low Power Mode control.\"");
}

TEST(SetupTexts, SafeUserNames) {
  for (const char* name :
       {"alice", "a", "John.Doe", "j_doe-2", "0day", "_mbsetupuser", "Bob", "A-1", "_ADMIN"}) {
    EXPECT_TRUE(isSafeUserName(name)) << name;
  }
  for (const char* name :
       {"", "-n", "bob smith", "o'brien", "a\"b", "a\\b", "a;rm", "a$b", "a\tb", "a\nb",
        "r\xC3\xA9mi", "a/b", "a*", "a`b`", "a:b", "ALL", "ADMINS", "A", "X_1"}) {
    EXPECT_FALSE(isSafeUserName(name)) << ::testing::PrintToString(name);
  }
}

class SetupFlow : public ::testing::Test {
 protected:
  void run(std::string_view user = "alice") {
    runFirstLaunchSetup(alerts, runner, macSystemTools(), user, hooks);
  }

  fake::ScriptedAlerts alerts;
  fake::ScriptedToolRunner runner;
  std::vector<std::string> events;
  SetupHooks hooks{
      .quit = [this] { events.push_back("quit"); },
      .installed = [this] { events.push_back("installed"); },
      .currentThreshold = [] { return std::int64_t{20}; },
  };
};

TEST_F(SetupFlow, QuitRunsNothing) {
  alerts.queueAnswer(kAlertSecondButton);
  run();
  EXPECT_THAT(events, ElementsAre("quit"));
  EXPECT_THAT(runner.runs(), IsEmpty());
  EXPECT_EQ(alerts.shown().size(), 1u);
}

TEST_F(SetupFlow, SuccessInstallsBeforeTheConfirmation) {
  answerInTurn(runner, {fake::exitedWith(0)});
  alerts.onShow.add([this](const Alert& alert) {
    events.push_back((alert.bringToFront ? "front alert: " : "alert: ") + alert.title);
  });
  hooks.currentThreshold = [] { return std::int64_t{30}; };
  run();
  EXPECT_THAT(events, ElementsAre("front alert: Welcome to Kestrine!", "installed",
                                  "front alert: Setup Complete!"));
  ASSERT_EQ(runner.runs().size(), 1u);
  EXPECT_EQ(runner.runs()[0].request.program, "/usr/bin/osascript");
  EXPECT_THAT(runner.runs()[0].request.arguments,
              ElementsAre("-e", setupScript("alice", macSystemTools())));
  EXPECT_FALSE(runner.runs()[0].request.captureOutput);
  EXPECT_EQ(runner.runs()[0].request.timeout, kPasswordPromptLimit);
  const Alert& done = alerts.shown().back().alert;
  EXPECT_THAT(done.body, HasSubstr("Current threshold: 30%"));
  EXPECT_THAT(done.buttons, IsEmpty());
}

TEST_F(SetupFlow, AnyAnswerButQuitContinues) {
  alerts.queueAnswer(-1000);
  answerInTurn(runner, {fake::exitedWith(0)});
  run();
  EXPECT_THAT(events, ElementsAre("installed"));
}

struct FailureCase {
  const char* name;
  ToolResult result;
  const char* title;
  std::string bodyPart;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class SetupFailure : public SetupFlow, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SetupFailure, ShowsTheOutcomeAndInstallsNothing) {
  answerInTurn(runner, {GetParam().result});
  run();
  EXPECT_THAT(events, IsEmpty());
  ASSERT_EQ(alerts.shown().size(), 2u);
  EXPECT_EQ(alerts.shown()[1].alert.title, GetParam().title);
  EXPECT_THAT(alerts.shown()[1].alert.body, HasSubstr(GetParam().bodyPart));
  EXPECT_THAT(alerts.shown()[1].alert.buttons, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SetupFailure,
    ::testing::Values(
        FailureCase{
            "StartFailure",
            fake::failedToStart("Could not start /usr/bin/osascript: No such file or directory"),
            "Setup Error",
            "setup: Could not start /usr/bin/osascript: No such file or directory" + kErrorEnd},
        FailureCase{"Cancelled", fake::exitedWith(1), "Setup Failed", "Could not complete setup."}),
    [](const auto& info) { return std::string(info.param.name); });

// A user name or a table path that would change the command runs nothing.
TEST_F(SetupFlow, UnsafeNamesAndPathsRunNothing) {
  const auto tools = [](std::string SystemTools::*field, const char* path) {
    SystemTools t = macSystemTools();
    t.*field = path;
    return t;
  };
  const std::pair<const char*, SystemTools> cases[] = {
      {"", macSystemTools()},
      {"-rf", macSystemTools()},
      {"o'brien", macSystemTools()},
      {"bob smith", macSystemTools()},
      {"alice", tools(&SystemTools::rulePmsetPath, "/opt/my apps/pmset")},
      {"alice", tools(&SystemTools::rulePmsetPath, "relative/pmset")},
      {"alice", tools(&SystemTools::sudoersDirectory, "/etc/a'b")},
      {"alice", tools(&SystemTools::sudoersDirectory, "")},
  };
  for (const auto& [user, table] : cases) {
    SCOPED_TRACE(std::string(user) + " " + table.rulePmsetPath + " " + table.sudoersDirectory);
    alerts.clearLog();
    runFirstLaunchSetup(alerts, runner, table, user, hooks);
    ASSERT_EQ(alerts.shown().size(), 2u);
    EXPECT_EQ(alerts.shown()[1].alert.title, "Setup Error");
    EXPECT_THAT(alerts.shown()[1].alert.body,
                ::testing::StartsWith("An error occurred during setup: "));
    EXPECT_THAT(alerts.shown()[1].alert.body, ::testing::EndsWith(kErrorEnd));
  }
  EXPECT_THAT(runner.runs(), IsEmpty());
  EXPECT_THAT(events, IsEmpty());
  // Nor does the narrowing promise a prompt it cannot show.
  for (const auto& [user, table] : cases) {
    EXPECT_EQ(narrowBroadRule(alerts, runner, table, user, std::chrono::seconds{1}),
              NarrowingOutcome::kNothingToDo);
  }
  EXPECT_THAT(runner.runs(), IsEmpty());
}

}  // namespace
}  // namespace kestrine
