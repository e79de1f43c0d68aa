#include "tools/pmset_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace kestrine::tools {
namespace {

using Args = std::vector<std::string>;

TEST(PmsetArguments, AcceptsTheThreeCommandsWhenUnprivileged) {
  auto batt = parsePmsetArguments({"-g", "batt"}, false);
  ASSERT_TRUE(batt.command);
  EXPECT_EQ(batt.command->action, PmsetAction::BatteryReport);
  auto custom = parsePmsetArguments({"-g", "custom"}, false);
  ASSERT_TRUE(custom.command);
  EXPECT_EQ(custom.command->action, PmsetAction::CustomReport);
  for (int mode = 0; mode <= 2; ++mode) {
    auto set = parsePmsetArguments({"-b", "lowpowermode", std::to_string(mode)}, false);
    ASSERT_TRUE(set.command) << mode;
    EXPECT_EQ(set.command->action, PmsetAction::SetLowPowerMode);
    EXPECT_EQ(set.command->mode, mode);
  }
}

TEST(PmsetArguments, WithBorrowedPrivilegesOnlyTheSwitchIsAccepted) {
  EXPECT_TRUE(parsePmsetArguments({"-b", "lowpowermode", "1"}, true).command);
  const Args refused[] = {
      {"-g", "batt"},
      {"-g", "custom"},
      {},
      {"-a", "lowpowermode", "1"},
      {"-b", "lowpowermode", "1", "extra"},
      {"-b", "lowpowermode"},
      {"-b", "displaysleep", "1"},
  };
  for (const Args& args : refused) {
    const PmsetParse parse = parsePmsetArguments(args, true);
    EXPECT_FALSE(parse.command) << testing::PrintToString(args);
    EXPECT_FALSE(parse.error.empty());
  }
}

TEST(PmsetArguments, RejectsModesOtherThanExactlyZeroOneTwo) {
  for (const bool privileged : {false, true}) {
    for (const char* mode : {"3", "-1", "01", "+1", " 1", "1 ", "", "one", "10"}) {
      EXPECT_FALSE(parsePmsetArguments({"-b", "lowpowermode", mode}, privileged).command)
          << '"' << mode << "\" privileged=" << privileged;
    }
  }
}

TEST(PmsetArguments, RejectsOtherReportsAndShapes) {
  const Args refused[] = {{"-g"}, {"-g", "ps"}, {"-g", "batt", "x"}, {"batt"}, {"-G", "batt"}};
  for (const Args& args : refused) {
    EXPECT_FALSE(parsePmsetArguments(args, false).command) << testing::PrintToString(args);
  }
}

TEST(PmsetPrivileges, BorrowedWhenStartedThroughAPrivilegeToolSetIdOrCapabilities) {
  const Invocation plainUser{1000, 1000, 1000, 1000, false, false};
  const Invocation rootItself{0, 0, 0, 0, false, false};
  EXPECT_FALSE(runsWithBorrowedPrivileges(plainUser));
  EXPECT_FALSE(runsWithBorrowedPrivileges(rootItself));

  Invocation throughTool = rootItself;  // sudo, pkexec, doas: ids all 0
  throughTool.privilegeToolMark = true;
  Invocation capabilities = plainUser;  // file capabilities leave the ids alone
  capabilities.secureExecution = true;
  const Invocation setuid{1000, 0, 1000, 1000, false, false};
  const Invocation setgid{1000, 1000, 1000, 0, false, false};
  for (const Invocation& invocation : {throughTool, capabilities, setuid, setgid}) {
    EXPECT_TRUE(runsWithBorrowedPrivileges(invocation));
  }
}

TEST(PmsetPrivileges, EveryPrivilegeToolLeavesAMark) {
  std::vector<std::string> names(std::begin(kPrivilegeToolVariables),
                                 std::end(kPrivilegeToolVariables));
  for (const char* expected :
       {"SUDO_UID", "SUDO_USER", "SUDO_COMMAND", "PKEXEC_UID", "DOAS_USER"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
  }
}

TEST(PmsetPrivileges, OnlyRootByItsOwnRightKeepsALocalBusAddress) {
  const struct {
    bool borrowed;
    const char* value;
    std::optional<std::string> kept;
  } table[] = {
      {false, "unix:path=/tmp/bus", "unix:path=/tmp/bus"},
      {false, "unix:abstract=/tmp/dbus-x,guid=1", "unix:abstract=/tmp/dbus-x,guid=1"},
      {true, "unix:path=/tmp/bus", std::nullopt},
      {false, nullptr, std::nullopt},
      {false, "autolaunch:", std::nullopt},
      {false, "tcp:host=attacker,port=1", std::nullopt},
      {false, "unix:path=/tmp/bus;autolaunch:", std::nullopt},
      {false, "UNIX:path=/tmp/bus", std::nullopt},
  };
  for (const auto& row : table) {
    EXPECT_EQ(systemBusAddressToKeep(row.borrowed, row.value), row.kept)
        << (row.value ? row.value : "(unset)") << " borrowed=" << row.borrowed;
  }
}

TEST(PmsetProfiles, ModesAndProfilesMapBothWays) {
  const struct {
    int mode;
    const char* profile;
  } table[] = {{0, "balanced"}, {1, "power-saver"}, {2, "performance"}};
  for (const auto& row : table) {
    EXPECT_EQ(profileForMode(row.mode), row.profile);
    EXPECT_EQ(modeForProfile(row.profile), row.mode);
  }
  EXPECT_FALSE(profileForMode(3));
  EXPECT_FALSE(modeForProfile("low-power"));
}

linux_desktop::UPowerDevice battery(double percentage, std::uint32_t state,
                                    std::int64_t toEmpty = 0, std::int64_t toFull = 0) {
  linux_desktop::UPowerDevice d;
  d.type = linux_desktop::kUPowerTypeBattery;
  d.powerSupply = true;
  d.percentage = percentage;
  d.state = state;
  d.timeToEmpty = toEmpty;
  d.timeToFull = toFull;
  return d;
}

TEST(PmsetReports, BatteryReportInPmsetLayout) {
  linux_desktop::UPowerDevice mouse = battery(5, 2);
  mouse.type = 5;
  mouse.powerSupply = false;
  linux_desktop::UPowerDevice ups = battery(90, 4);
  ups.type = linux_desktop::kUPowerTypeUps;
  EXPECT_EQ(formatBatteryReport(true, {mouse, battery(56.6, 2, 3 * 3600 + 12 * 60), ups}),
            "Now drawing from 'Battery Power'\n"
            " -InternalBattery-0 (id=1)\t57%; discharging; 3:12 remaining present: true\n"
            " -UPS-0 (id=2)\t90%; charged; 0:00 remaining present: true\n");
  EXPECT_EQ(formatBatteryReport(false, {battery(80, 1, 0, 1800)}),
            "Now drawing from 'AC Power'\n"
            " -InternalBattery-0 (id=1)\t80%; charging; 0:30 remaining present: true\n");
  EXPECT_EQ(formatBatteryReport(true, {battery(40, 2)}),
            "Now drawing from 'Battery Power'\n"
            " -InternalBattery-0 (id=1)\t40%; discharging; (no estimate) present: true\n");
  EXPECT_EQ(formatBatteryReport(false, {}), "Now drawing from 'AC Power'\n");
}

TEST(PmsetReports, CustomReportCarriesTheModeInBothSections) {
  EXPECT_EQ(formatCustomReport(1),
            "Battery Power:\n lowpowermode         1\nAC Power:\n lowpowermode         1\n");
}

}  // namespace
}  // namespace kestrine::tools
