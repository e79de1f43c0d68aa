#include <gtest/gtest.h>

#include "platform/sim/fixed_user_name.h"
#include "platform/sim/virtual_clock.h"
#include "platform/sim/virtual_main_loop.h"
#include "power/first_launch_setup.h"
#include "power/power_control.h"
#include "power/reports.h"
#include "sim/case_name.h"
#include "sim/pmset_reports.h"
#include "sim/virtual_laptop.h"

namespace kestrine::sim {
namespace {

// The rendered reports are read back by the application's own readers.
TEST(PmsetReports, BatteryReportHasPmsetsLayout) {
  BatteryReportInfo info;
  info.percent = 95;
  info.minutesRemaining = 186;
  EXPECT_EQ(renderBatteryReport(info),
            "Now drawing from 'Battery Power'\n"
            " -InternalBattery-0 (id=5374051)\t95%; discharging; 3:06 remaining present: true\n");
  info.onBattery = false;
  info.state = BatteryReportInfo::State::kAcAttachedNotCharging;
  info.percent = 80;
  EXPECT_EQ(renderBatteryReport(info),
            "Now drawing from 'AC Power'\n"
            " -InternalBattery-0 (id=5374051)\t80%; AC attached; not charging present: true\n");
  EXPECT_EQ(formatRemaining(5), "0:05");
  EXPECT_EQ(formatRemaining(1006), "16:46");
}

TEST(PmsetReports, CustomReportReadsBackTheBatteryProfile) {
  for (std::int64_t battery : {0, 1}) {
    for (std::int64_t ac : {0, 1}) {
      const std::string text = renderCustomReport(battery, ac);
      EXPECT_EQ(powerModeFromCustomReport(text), battery);
      EXPECT_NE(text.find(" lowpowermode         " + std::to_string(battery) + "\n"),
                std::string::npos);
      EXPECT_NE(text.find("AC Power:\n Sleep On Power Button 1\n"), std::string::npos);
    }
  }
}

class LaptopTest : public ::testing::Test {
 protected:
  VirtualMainLoop loop{wallTimeFromCivil(2026, 3, 14, 9)};
  VirtualClock clock{loop};
  VirtualLaptop laptop{clock, "alice"};
  PowerSources& sources = laptop;
  FixedUserName user;
  PowerControl power{laptop, sources, user, macSystemTools()};
};

TEST_F(LaptopTest, BatteryDrainsAndChargesWithVirtualTime) {
  laptop.battery().setPercent(50);
  laptop.battery().setDrainPerMinute(0.5);
  EXPECT_EQ(power.getBatteryLevel(), 50);
  EXPECT_TRUE(power.isOnBattery());
  loop.runFor(10 * 60);
  EXPECT_EQ(power.getBatteryLevel(), 45);
  laptop.battery().setOnMains(true);
  laptop.battery().setChargePerMinute(2.0);
  loop.runFor(60 * 60);
  EXPECT_EQ(power.getBatteryLevel(), 100);
  EXPECT_FALSE(power.isOnBattery());
  laptop.setLevelAvailable(false);
  EXPECT_EQ(power.getBatteryLevel(), std::nullopt);
}

TEST_F(LaptopTest, SudoWorksOnlyOnceTheSetupInstalledItsRule) {
  laptop.queuePasswordAnswer({.accept = true});
  laptop.queuePasswordAnswer({.accept = false});
  // No rule: sudo -n fails and the password dialog switches instead.
  EXPECT_TRUE(power.setPowerMode(1));
  EXPECT_EQ(power.getPowerMode(), 1);
  laptop.setLowPowerMode(0);
  // The user cancels the dialog: nothing changes.
  EXPECT_FALSE(power.setPowerMode(1));
  EXPECT_EQ(power.getPowerMode(), 0);

  // The setup's own command, run by the virtual administrator shell.
  ToolRequest setup;
  setup.program = "/usr/bin/osascript";
  setup.arguments = {"-e", setupScript("alice", macSystemTools())};
  EXPECT_EQ(laptop.run(setup).exitStatus, 0);
  const auto* rule = laptop.fileSystem().file("/private/etc/sudoers.d/kestrine");
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->content, "alice ALL=(ALL) NOPASSWD: /usr/bin/pmset -b lowpowermode *\n");
  EXPECT_EQ(rule->mode, 0440U);
  EXPECT_EQ(laptop.fileSystem().file("/private/etc/sudoers.d/kestrine.tmp"), nullptr);

  ToolRequest sudo;
  sudo.program = "/usr/bin/sudo";
  sudo.arguments = sudoSwitchArguments(macSystemTools(), 1);
  EXPECT_EQ(laptop.run(sudo).exitStatus, 0);
  EXPECT_EQ(laptop.lowPowerMode(), 1);
}

TEST_F(LaptopTest, SetupReplacesAnOldRuleAndCreatesAMissingDirectory) {
  auto& fs = laptop.fileSystem();
  fs.remove("/private/etc/sudoers.d/kestrine");
  ASSERT_FALSE(fs.makeDirectory("/private/etc/sudoers.d", true));
  ASSERT_FALSE(
      fs.writeFile("/private/etc/sudoers.d/kestrine", "bob ALL=(ALL) NOPASSWD: /x\n", false));
  const auto result = runVirtualShell(setupShellCommand("alice", macSystemTools()), fs,
                                      [](const std::vector<std::string>&) { return 0; });
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(fs.file("/private/etc/sudoers.d/kestrine")->content,
            "alice ALL=(ALL) NOPASSWD: /usr/bin/pmset -b lowpowermode *\n");
}

TEST(VirtualShell, ARuleThatFailsTheCheckNeverTakesTheRulesName) {
  VirtualFileSystem fs;
  // A rule line with a stray word where the host list belongs.
  const std::string command =
      "mkdir -p /private/etc/sudoers.d && echo 'alice ALL (ALL) NOPASSWD: /usr/bin/pmset' > "
      "/private/etc/sudoers.d/kestrine.tmp && chmod 0440 /private/etc/sudoers.d/kestrine.tmp && "
      "visudo -c -f /private/etc/sudoers.d/kestrine.tmp && mv -f "
      "/private/etc/sudoers.d/kestrine.tmp /private/etc/sudoers.d/kestrine || { rm -f "
      "/private/etc/sudoers.d/kestrine.tmp; false; }";
  const auto result =
      runVirtualShell(command, fs, [](const std::vector<std::string>&) { return 0; });
  EXPECT_EQ(result.status, 1);
  EXPECT_FALSE(fs.exists("/private/etc/sudoers.d/kestrine"));
  EXPECT_FALSE(fs.exists("/private/etc/sudoers.d/kestrine.tmp"));
}

struct ShellCase {
  const char* command;
  int status;
  const char* output;
};
void PrintTo(const ShellCase& c, std::ostream* os) { *os << caseName(c.command); }
class VirtualShellCases : public ::testing::TestWithParam<ShellCase> {};

TEST_P(VirtualShellCases, RunLikeSh) {
  VirtualFileSystem fs;
  const auto r = runVirtualShell(GetParam().command, fs, [](const std::vector<std::string>& a) {
    return a.size() == 3 ? 0 : 1;
  });
  EXPECT_EQ(r.status, GetParam().status) << GetParam().command << "\n" << r.errors;
  EXPECT_EQ(r.output, GetParam().output) << GetParam().command;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, VirtualShellCases,
    ::testing::Values(ShellCase{"echo a && echo b", 0, "a\nb\n"},
                      ShellCase{"false && echo a || echo b", 0, "b\n"},
                      ShellCase{"echo 'x  *' \"q\\\"\"", 0, "x  * q\"\n"},
                      ShellCase{"mkdir /no/such/dir", 1, ""},
                      ShellCase{"echo x > /tmp/f && cat /etc/../tmp/f", 1, ""},
                      ShellCase{"echo x > /tmp/f; cat /tmp/f", 0, "x\n"},
                      ShellCase{"pmset -b lowpowermode 1", 0, ""},
                      ShellCase{"rm /tmp/missing", 1, ""}, ShellCase{"rm -f /tmp/missing", 0, ""},
                      ShellCase{"curl http://x", 127, ""},
                      ShellCase{"echo a; exit 3; echo b", 3, "a\n"}, ShellCase{"echo $HOME", 2, ""},
                      ShellCase{"echo 'open", 2, ""}, ShellCase{"{ echo a; false; }", 1, "a\n"}));

TEST(AdministratorScript, ParsesTheSwitchScript) {
  const auto parsed = parseAdministratorScript(switchScript(1));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->command, "pmset -b lowpowermode 1");
  EXPECT_EQ(parsed->prompt, "Kestrine needs your password to change Low Power Mode.");
  EXPECT_FALSE(parseAdministratorScript("display dialog \"hi\""));
  EXPECT_FALSE(
      parseAdministratorScript("do shell script \"x\" with administrator privileges extra"));
}

TEST_F(LaptopTest, ToolOutcomesOverrideTheMachine) {
  laptop.setToolOutcome(ToolKey::kBatteryReport, {ToolOutcome::Kind::kFailStart, 0});
  EXPECT_FALSE(power.isOnBattery());
  laptop.setToolOutcome(ToolKey::kBatteryReport, {ToolOutcome::Kind::kExit, 3});
  EXPECT_TRUE(power.isOnBattery());  // the text counts, not the status
  laptop.setCustomReportText(std::string("AC Power:\n lowpowermode 1\n"));
  EXPECT_EQ(power.getPowerMode(), std::nullopt);
  laptop.setToolOutcome(ToolKey::kSudo, {ToolOutcome::Kind::kFailStart, 0});
  laptop.setToolOutcome(ToolKey::kOsascript, {ToolOutcome::Kind::kFailStart, 0});
  EXPECT_FALSE(power.setPowerMode(1));
  ToolRequest other;
  other.program = "/usr/bin/nonesuch";
  const auto result = laptop.run(other);
  EXPECT_FALSE(result.started);
  EXPECT_FALSE(result.startError.empty());
}

}  // namespace
}  // namespace kestrine::sim
