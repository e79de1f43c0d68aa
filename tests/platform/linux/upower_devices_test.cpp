#include "platform/linux/upower_devices.h"

#include <gtest/gtest.h>

namespace kestrine::linux_desktop {
namespace {

UPowerDevice device(std::uint32_t type, bool powerSupply, double percentage) {
  UPowerDevice d;
  d.type = type;
  d.powerSupply = powerSupply;
  d.percentage = percentage;
  return d;
}

TEST(BatteryLevelFromUPower, FirstSystemBatteryOrUpsInUPowerOrder) {
  const UPowerDevice mouse = device(5, false, 3.0);
  const UPowerDevice linePower = device(1, true, 0.0);
  const UPowerDevice phone = device(2, false, 9.0);  // a battery that does not power the system
  EXPECT_EQ(batteryLevelFromDevices(
                {mouse, linePower, phone, device(2, true, 57.0), device(3, true, 80.0)}),
            57);
  EXPECT_EQ(batteryLevelFromDevices({mouse, device(3, true, 80.0), device(2, true, 57.0)}), 80);
  EXPECT_EQ(batteryLevelFromDevices({mouse, linePower, phone}), std::nullopt);
  EXPECT_EQ(batteryLevelFromDevices({}), std::nullopt);
}

TEST(BatteryLevelFromUPower, PercentageBecomesTheNearestWholeNumber) {
  const struct {
    double percentage;
    std::int64_t expected;
  } cases[] = {{56.6, 57}, {56.4, 56}, {100.0, 100}, {0.0, 0}, {0.5, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(batteryLevelFromDevices({device(2, true, c.percentage)}), c.expected) << c.percentage;
  }
}

TEST(PowerProfiles, ModeOfEachProfileAndBack) {
  const struct {
    const char* profile;
    std::optional<std::int64_t> mode;
  } table[] = {{"power-saver", 1},         {"balanced", 0},
               {"performance", 2},         {"", std::nullopt},
               {"Balanced", std::nullopt}, {"quiet", std::nullopt}};
  for (const auto& row : table) {
    EXPECT_EQ(powerModeFromProfile(row.profile), row.mode) << row.profile;
    if (row.mode) {
      EXPECT_EQ(profileForPowerMode(*row.mode), row.profile);
    }
  }
  EXPECT_EQ(profileForPowerMode(7), "");
}

}  // namespace
}  // namespace kestrine::linux_desktop
