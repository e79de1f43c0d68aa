#include <gtest/gtest.h>

#include "mac_power/first_launch_setup.h"
#include "mac_power/sudoers_setup.h"
#include "platform/fake/fixed_user_name.h"
#include "platform/fake/scripted_alerts.h"
#include "platform/fake/virtual_clock.h"
#include "platform/fake/virtual_main_loop.h"
#include "sim/virtual_laptop.h"

namespace kestrine::sim {
namespace {

class LaptopTest : public ::testing::Test {
 protected:
  fake::VirtualMainLoop loop{fake::wallTimeFromCivil(2026, 3, 14, 9)};
  fake::VirtualClock clock{loop};
  VirtualLaptop laptop{clock, "alice"};
  fake::FixedUserName user;
  SudoersSetup setup{laptop, user, macSystemTools()};
};

// The setup installing the rule, and sudo working only after it, are played by
// the first_start scenarios; here the setup run for another user.
TEST_F(LaptopTest, TheSetupOfAnotherUserInstallsNothing) {
  ToolRequest setup;
  setup.program = "/usr/bin/osascript";
  setup.arguments = {"-e", setupScript("bob", macSystemTools())};
  EXPECT_EQ(laptop.run(setup).exitStatus, 1);
  EXPECT_FALSE(laptop.ruleInstalled());
}

// Narrowing the broad rule, and keeping it when the user cancels, is played
// by the rule_upgrade scenario; here a start that must not ask.
TEST_F(LaptopTest, AStartUpgradeLeavesAnExactAbsentOrUncheckableRuleAlone) {
  using Rule = VirtualLaptop::Rule;
  using Kind = ToolOutcome::Kind;
  for (const auto& [rule, sudo] :
       {std::pair{Rule::kExact, Kind::kNormal}, std::pair{Rule::kAbsent, Kind::kNormal},
        std::pair{Rule::kBroad, Kind::kFailStart}}) {
    laptop.setRule(rule);
    laptop.setToolOutcome(ToolKey::kSudo, {sudo});
    fake::Recorder record;
    fake::ScriptedAlerts alerts{nullptr, &record};
    setup.upgrade(alerts);
    EXPECT_TRUE(record.entries().empty());
    EXPECT_EQ(laptop.rule(), rule);
  }
}

}  // namespace
}  // namespace kestrine::sim
