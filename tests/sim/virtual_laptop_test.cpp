#include <gtest/gtest.h>

#include "mac_power/first_launch_setup.h"
#include "mac_power/power_control.h"
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
  PowerSources& sources = laptop;
  fake::FixedUserName user;
  PowerControl power{laptop, sources, user, macSystemTools()};
};

TEST_F(LaptopTest, SudoWorksOnlyOnceTheSetupInstalledItsRule) {
  ToolRequest sudo;
  sudo.program = "/usr/bin/sudo";
  sudo.arguments = sudoSwitchArguments(macSystemTools(), 1);
  EXPECT_EQ(laptop.run(sudo).exitStatus, 1);

  // Another command as administrator fails and installs nothing; the setup's own does.
  ToolRequest setup;
  setup.program = "/usr/bin/osascript";
  setup.arguments = {"-e", setupScript("bob", macSystemTools())};
  EXPECT_EQ(laptop.run(setup).exitStatus, 1);
  EXPECT_FALSE(laptop.ruleInstalled());
  setup.arguments = {"-e", setupScript("alice", macSystemTools())};
  EXPECT_EQ(laptop.run(setup).exitStatus, 0);
  EXPECT_TRUE(laptop.ruleInstalled());

  EXPECT_EQ(laptop.run(sudo).exitStatus, 0);
  EXPECT_EQ(laptop.lowPowerMode(), 1);
}

TEST_F(LaptopTest, AStartUpgradeNarrowsOnlyTheBroadRule) {
  using Rule = VirtualLaptop::Rule;
  constexpr auto kSudo = ToolOutcome::Kind::kNormal;
  constexpr auto kNoSudo = ToolOutcome::Kind::kFailStart;
  struct Case {
    const char* name;
    Rule before;
    ToolOutcome::Kind sudo;
    bool cancel, asked;
    Rule after;
  };
  for (const Case& c : {Case{"broad", Rule::kBroad, kSudo, false, true, Rule::kExact},
                        Case{"cancelled", Rule::kBroad, kSudo, true, true, Rule::kBroad},
                        Case{"exact", Rule::kExact, kSudo, false, false, Rule::kExact},
                        Case{"none", Rule::kAbsent, kSudo, false, false, Rule::kAbsent},
                        Case{"sudo missing", Rule::kBroad, kNoSudo, false, false, Rule::kBroad}}) {
    SCOPED_TRACE(c.name);
    laptop.setRule(c.before);
    laptop.setToolOutcome(ToolKey::kSudo, {c.sudo});
    if (c.cancel) laptop.queuePasswordAnswer({.accept = false});
    fake::ScriptedAlerts alerts;
    power.upgradeOneTimeSetup(alerts);
    EXPECT_EQ(alerts.shown().size(), c.asked ? 1u : 0u);
    EXPECT_EQ(laptop.rule(), c.after);
  }
}

}  // namespace
}  // namespace kestrine::sim
