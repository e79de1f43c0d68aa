// Power control against real processes: the setup's shell command run by
// /bin/sh with a stand-in visudo, and the switch under Debian's real sudo.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "mac_power/first_launch_setup.h"
#include "mac_power/power_control.h"
#include "platform/fake/fixed_user_name.h"
#include "platform/posix/tool_runner.h"
#include "support/temp_folder.h"

namespace kestrine {
namespace {

using testing::TempFolder;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kAliceRule = setupRuleLine("alice", macSystemTools()) + "\n";

// visudo stand-in: logs its arguments, fails when told to, and otherwise accepts
// a single rule line in a file that is already 0440 and that the real visudo passes.
const char* kFakeVisudo = R"sh(log="$(dirname "$0")/visudo.log"
echo "$*" >> "$log"
[ "$1" = -c ] && [ "$2" = -f ] && [ $# -eq 3 ] || exit 2
[ -e "$(dirname "$0")/reject" ] && exit 1
[ "$(stat -c %a "$3")" = 440 ] || exit 3
[ "$(wc -l < "$3")" -eq 1 ] || exit 4
exec /usr/sbin/visudo -c -q -f "$3")sh";

class SetupShellCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder.path() / "bin");
    testing::writeText(folder / "bin/visudo", std::string("#!/bin/sh\n") + kFakeVisudo + "\n");
    fs::permissions(folder / "bin/visudo", fs::perms(0755));
    // Files in the working directory that an unquoted '*' would expand to.
    fs::create_directories(folder.path() / "work");
    testing::writeText(folder / "work/decoy", "");
    tools.sudoersDirectory = (folder / "etc/sudoers.d").string();
  }

  int runCommand(const std::string& user = "alice") {
    ToolRequest request;
    request.program = "/usr/bin/env";
    request.arguments = {"-C",
                         (folder / "work").string(),
                         "PATH=" + (folder / "bin").string() + ":/usr/bin:/bin",
                         "/bin/sh",
                         "-c",
                         setupShellCommand(user, tools)};
    request.timeout = 20s;
    const ToolResult result = runner.run(request);
    EXPECT_TRUE(result.started) << result.startError;
    return result.exitStatus;
  }

  std::string rulePath() const { return tools.sudoersDirectory + "/kestrine"; }
  std::string tempPath() const { return tools.sudoersDirectory + "/kestrine.tmp"; }
  std::string visudoLog() const { return testing::readText(folder / "bin/visudo.log"); }

  TempFolder folder;
  PosixToolRunner runner;
  fake::FixedUserName user;
  SystemTools tools = macSystemTools();
};

TEST_F(SetupShellCommand, InstallsTheCheckedRuleInPlaceOfAnyEarlierOne) {
  ASSERT_FALSE(fs::exists(tools.sudoersDirectory));
  EXPECT_EQ(runCommand("bob"), 0);
  // visudo saw the rule under a name that the rule directory ignores.
  EXPECT_EQ(visudoLog(), "-c -f " + tempPath() + "\n");
  testing::writeText(tempPath(), "left over from an interrupted run\n");
  EXPECT_EQ(runCommand(), 0);
  EXPECT_EQ(testing::readText(rulePath()), kAliceRule);
  EXPECT_EQ(fs::status(rulePath()).permissions(), fs::perms(0440));
  EXPECT_FALSE(fs::exists(tempPath()));
}

TEST_F(SetupShellCommand, RejectedRuleNeverReachesTheRuleFile) {
  testing::writeText(folder / "bin/reject", "");
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing);
    const std::string before = "carol ALL=(ALL) NOPASSWD: /usr/bin/pmset -b lowpowermode *\n";
    if (existing) testing::writeText(rulePath(), before);
    EXPECT_NE(runCommand(), 0);
    EXPECT_FALSE(fs::exists(tempPath()));
    if (existing) {
      EXPECT_EQ(testing::readText(rulePath()), before);
    } else {
      EXPECT_FALSE(fs::exists(rulePath()));
    }
  }
}

TEST_F(SetupShellCommand, DirectoryThatCannotBeMadeFails) {
  testing::writeText(folder / "etc", "a file where the directory should be");
  EXPECT_NE(runCommand(), 0);
  EXPECT_TRUE(visudoLog().empty());
}

// Debian's real sudo, run as `nobody` in a mount namespace of its own where a
// private file stands in for /etc/sudoers: the machine's own rules are never read
// or touched. The pmset stand-in logs who ran it with which arguments.
class RealSudo : public ::testing::Test {
 protected:
  void SetUp() override {
    ToolRequest namespaceOfItsOwn;
    namespaceOfItsOwn.program = "/usr/bin/unshare";
    namespaceOfItsOwn.arguments = {"-m", "true"};
    if (geteuid() != 0 || !fs::exists("/usr/bin/sudo") ||
        runner.run(namespaceOfItsOwn).exitStatus != 0) {
      GTEST_SKIP() << "needs root, sudo and a mount namespace of its own (unshare -m)";
    }
    fs::permissions(folder.path(), fs::perms(0755));
    tools.rulePmsetPath =
        folder.writeTool("pmset", "echo \"$(id -u) $*\" >> '" + (folder / "ran").string() + "'");
  }

  ToolResult sudo(const std::string& rules, const std::vector<std::string>& arguments) {
    testing::writeText(folder / "sudoers", rules);
    fs::permissions(folder.path() / "sudoers", fs::perms(0440));
    ToolRequest request;
    request.program = "/usr/bin/unshare";
    request.arguments = {"-m", "/bin/sh", "-c",
                         "mount --bind \"$0\" /etc/sudoers && exec setpriv --reuid=65534 "
                         "--regid=65534 --clear-groups /usr/bin/sudo \"$@\"",
                         (folder / "sudoers").string()};
    request.arguments.insert(request.arguments.end(), arguments.begin(), arguments.end());
    request.captureOutput = true;
    request.timeout = 20s;
    ToolResult result = runner.run(request);
    EXPECT_TRUE(result.started) << result.startError;
    return result;
  }

  std::string ran() const { return testing::readText(folder / "ran"); }
  std::string broadRule() const {
    return "nobody ALL=(ALL) NOPASSWD: " + tools.rulePmsetPath + " -b lowpowermode *\n";
  }

  TempFolder folder;
  PosixToolRunner runner;
  SystemTools tools = macSystemTools();
};

TEST_F(RealSudo, TheBroadRuleRunsAnyPmsetAsRootTheExactOneOnlyTheSwitch) {
  const std::vector<std::string> attack = {
      "-n", tools.rulePmsetPath, "-b", "lowpowermode", "1", "-a", "hibernatefile", "/etc/passwd"};
  EXPECT_EQ(sudo(broadRule(), attack).exitStatus, 0);
  EXPECT_EQ(ran(), "0 -b lowpowermode 1 -a hibernatefile /etc/passwd\n");

  fs::remove(folder.path() / "ran");
  const std::string exact = setupRuleLine("nobody", tools) + "\n";
  EXPECT_NE(sudo(exact, attack).exitStatus, 0);
  EXPECT_NE(sudo(exact, sudoSwitchArguments(tools, 2)).exitStatus, 0);
  EXPECT_EQ(sudo(exact, sudoSwitchArguments(tools, 1)).exitStatus, 0);
  EXPECT_EQ(sudo(exact, sudoSwitchArguments(tools, 0)).exitStatus, 0);
  EXPECT_EQ(ran(), "0 -b lowpowermode 1\n0 -b lowpowermode 0\n");
}

TEST_F(RealSudo, TheListingTellsTheBroadRuleApart) {
  const std::string exact = setupRuleLine("nobody", tools) + "\n";
  const std::string admin = "nobody ALL=(ALL) ALL\n";
  struct Case {
    std::string rules;
    bool narrow;
  };
  const std::string merged =
      "nobody ALL=(ALL) NOPASSWD: /bin/true, " + tools.rulePmsetPath + " -b lowpowermode *\n";
  for (const Case& c :
       {Case{broadRule(), true}, Case{admin + broadRule(), true}, Case{admin + merged, true},
        Case{exact, false}, Case{admin + exact, false}, Case{admin, false}}) {
    SCOPED_TRACE(c.rules);
    EXPECT_EQ(ruleNeedsNarrowing(sudo(c.rules, {"-n", "-l"}), tools), c.narrow);
  }
}

}  // namespace
}  // namespace kestrine
