#include <gtest/gtest.h>

#include "platform/sim/fixed_user_name.h"
#include "platform/sim/virtual_clock.h"
#include "platform/sim/virtual_main_loop.h"
#include "power/first_launch_setup.h"
#include "power/power_control.h"
#include "sim/virtual_laptop.h"

namespace kestrine::sim {
namespace {

class LaptopTest : public ::testing::Test {
 protected:
  VirtualMainLoop loop{wallTimeFromCivil(2026, 3, 14, 9)};
  VirtualClock clock{loop};
  VirtualLaptop laptop{clock, "alice"};
  PowerSources& sources = laptop;
  FixedUserName user;
  PowerControl power{laptop, sources, user, macSystemTools()};
};

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

  // Another command as administrator fails and installs nothing; the setup's own does.
  ToolRequest setup;
  setup.program = "/usr/bin/osascript";
  setup.arguments = {"-e", setupScript("bob", macSystemTools())};
  EXPECT_EQ(laptop.run(setup).exitStatus, 1);
  EXPECT_FALSE(laptop.ruleInstalled());
  setup.arguments = {"-e", setupScript("alice", macSystemTools())};
  EXPECT_EQ(laptop.run(setup).exitStatus, 0);
  EXPECT_TRUE(laptop.ruleInstalled());

  ToolRequest sudo;
  sudo.program = "/usr/bin/sudo";
  sudo.arguments = sudoSwitchArguments(macSystemTools(), 1);
  EXPECT_EQ(laptop.run(sudo).exitStatus, 0);
  EXPECT_EQ(laptop.lowPowerMode(), 1);
}

}  // namespace
}  // namespace kestrine::sim
