#include "mac_power/first_launch_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tuple>

#include "mac_power/setup_memory.h"
#include "mac_power/sudoers_setup.h"
#include "platform/fake/fixed_user_name.h"
#include "platform/fake/recording_console.h"
#include "platform/fake/scripted_alerts.h"
#include "platform/fake/scripted_tool_runner.h"
#include "support/answer_in_turn.h"
#include "support/temp_folder.h"
#include "ui/messages.h"

namespace kestrine {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing_support::answerInTurn;

const std::string kErrorEnd =
    "\n\nThe app will still work but may prompt for\nyour password when enabling Low Power Mode.";

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

  std::vector<fake::AlertAnswered> shown() const { return record.all<fake::AlertAnswered>(); }

  fake::Recorder record;
  fake::ScriptedAlerts alerts{nullptr, &record};
  fake::ScriptedToolRunner runner{nullptr, &record};
  std::vector<std::string> events;
  SetupHooks hooks{
      .quit = [this] { events.push_back("quit"); },
      .installed = [this] { events.push_back("installed"); },
      .thresholdRule = [] { return thresholdRuleText(20); },
  };
};

TEST_F(SetupFlow, SuccessInstallsBeforeTheConfirmation) {
  answerInTurn(runner, {fake::exitedWith(0)});
  record.listen([this](const fake::Seen& seen) {
    if (const auto* opened = std::get_if<fake::AlertOpened>(&seen)) {
      const Alert& alert = opened->alert;
      events.push_back((alert.bringToFront ? "front alert: " : "alert: ") + alert.title);
    }
  });
  hooks.thresholdRule = [] { return thresholdRuleText(30); };
  run();
  EXPECT_THAT(events, ElementsAre("front alert: Welcome to Kestrine!", "installed",
                                  "front alert: Setup Complete!"));
  // The command itself: the first_start_setup scenario.
  const auto runs = record.all<fake::ToolRun>();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_FALSE(runs[0].request.captureOutput);
  EXPECT_EQ(runs[0].request.timeout, kPasswordPromptLimit);
  const Alert done = shown().back().alert;
  EXPECT_THAT(done.body, HasSubstr("Current threshold: 30%"));
  EXPECT_THAT(done.buttons, IsEmpty());
}

TEST_F(SetupFlow, AnyAnswerButQuitContinues) {
  alerts.queueAnswer(-1000);
  answerInTurn(runner, {fake::exitedWith(0)});
  run();
  EXPECT_THAT(events, ElementsAre("installed"));
}

TEST_F(SetupFlow, FailureShowsTheOutcomeAndInstallsNothing) {
  const std::string notStarted = "Could not start /usr/bin/osascript: No such file or directory";
  for (const auto& [result, title, bodyPart] :
       {std::tuple{fake::failedToStart(notStarted), "Setup Error",
                   "setup: " + notStarted + kErrorEnd},
        std::tuple{fake::exitedWith(1), "Setup Failed",
                   std::string("Could not complete setup.")}}) {
    record.clear();
    answerInTurn(runner, {result});
    run();
    EXPECT_THAT(events, IsEmpty());
    const auto shown = this->shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].alert.title, title);
    EXPECT_THAT(shown[1].alert.body, HasSubstr(bodyPart));
    EXPECT_THAT(shown[1].alert.buttons, IsEmpty());
  }
}

// A user name or a table path that would change the command runs nothing.
TEST_F(SetupFlow, UnsafeNamesAndPathsRunNothing) {
  const auto tools = [](std::string SystemTools::*field, const char* path) {
    SystemTools t = macSystemTools();
    t.*field = path;
    return t;
  };
  const std::pair<const char*, SystemTools> cases[] = {
      {"o'brien", macSystemTools()},  // every unsafe name: SafeUserNames
      {"alice", tools(&SystemTools::rulePmsetPath, "/opt/my apps/pmset")},
      {"alice", tools(&SystemTools::rulePmsetPath, "relative/pmset")},
      {"alice", tools(&SystemTools::sudoersDirectory, "/etc/a'b")},
      {"alice", tools(&SystemTools::sudoersDirectory, "")},
  };
  for (const auto& [user, table] : cases) {
    SCOPED_TRACE(std::string(user) + " " + table.rulePmsetPath + " " + table.sudoersDirectory);
    record.clear();
    runFirstLaunchSetup(alerts, runner, table, user, hooks);
    const auto shown = this->shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].alert.title, "Setup Error");
    EXPECT_THAT(shown[1].alert.body, ::testing::StartsWith("An error occurred during setup: "));
    EXPECT_THAT(shown[1].alert.body, ::testing::EndsWith(kErrorEnd));
    EXPECT_THAT(record.all<fake::ToolRun>(), IsEmpty());
  }
  EXPECT_THAT(events, IsEmpty());
  // Nor does the narrowing promise a prompt it cannot show.
  for (const auto& [user, table] : cases) {
    EXPECT_EQ(narrowBroadRule(alerts, runner, table, user, std::chrono::seconds{1}),
              NarrowingOutcome::kNothingToDo);
  }
  EXPECT_THAT(record.all<fake::ToolRun>(), IsEmpty());
}

// What the Mac remembers beside the settings, and what it does only once.
class SetupFollowUps : public ::testing::Test {
 protected:
  SetupFollowUps() {
    runner.setHandler([this](const ToolRequest&) { return fake::exitedWith(osascriptStatus); });
  }

  fake::ScriptedToolRunner runner;
  fake::FixedUserName user;
  fake::ScriptedAlerts alerts;
  fake::RecordingConsole console;
  testing::TempFolder home;
  int osascriptStatus = 0;
  int registrations = 0;
  int afterSetups = 0;
  SudoersSetup setup{runner, user, macSystemTools(),
                     SetupFollowUp{.home = home.path(),
                                   .console = &console,
                                   .registerLoginItem = [this] { return ++registrations > 0; },
                                   .afterSetup = [this] { ++afterSetups; }}};
};

TEST_F(SetupFollowUps, TheLoginItemIsAddedAfterTheFirstSuccessfulSetupOnly) {
  osascriptStatus = 1;  // cancelled: nothing follows
  setup.run(alerts, {});
  EXPECT_EQ(registrations + afterSetups, 0);
  osascriptStatus = 0;
  setup.run(alerts, {});
  setup.run(alerts, {});
  EXPECT_EQ(registrations, 1);
  EXPECT_EQ(afterSetups, 2);
  EXPECT_TRUE(SetupMemory::load(home.path()).loginItemRegistered);
}

TEST(SetupMemoryFile, ReadsTheMembersItKnowsAndIgnoresTheRest) {
  testing::TempFolder home;
  const std::pair<const char*, SetupMemory> cases[] = {
      {R"({"broadRuleReported":true,"fromANewerRelease":[1]})", {false, true}},
      {R"({"loginItemRegistered":true,"broadRuleReported":false})", {true, false}},
      {R"({"loginItemRegistered":1})", {}},
      {"[true]", {}},
      {"not json", {}},
  };
  EXPECT_EQ(SetupMemory::load(home.path()), SetupMemory{});
  for (const auto& [text, memory] : cases) {
    testing::writeText(SetupMemory::path(home.path()), text);
    EXPECT_EQ(SetupMemory::load(home.path()), memory) << text;
  }
  fake::RecordingConsole console;
  const SetupMemory both{true, true};
  both.save(home.path(), console);
  EXPECT_EQ(testing::readText(SetupMemory::path(home.path())),
            R"({"loginItemRegistered":true,"broadRuleReported":true})");
}

}  // namespace
}  // namespace kestrine
