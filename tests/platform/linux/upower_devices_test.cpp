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

std::int64_t capacity(const std::optional<PowerSourceDescription>& source) {
  return std::get<std::int64_t>(source->at("Current Capacity"));
}

TEST(PowerSourcesFromUPower, KeepsOnlySystemBatteriesAndUpsInUPowerOrder) {
  const std::vector<UPowerDevice> devices = {
      device(5, false, 3.0),  // wireless mouse
      device(1, true, 0.0),   // line power
      device(2, true, 57.0),  // laptop battery
      device(2, false, 9.0),  // a battery that does not power the system (a phone)
      device(3, true, 80.0),  // UPS
  };
  const PowerSourceList sources = powerSourcesFromDevices(devices);
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(capacity(sources[0]), 57);
  EXPECT_EQ(std::get<std::string>(sources[0]->at("Type")), "InternalBattery");
  EXPECT_EQ(capacity(sources[1]), 80);
  EXPECT_EQ(std::get<std::string>(sources[1]->at("Type")), "UPS");
}

TEST(PowerSourcesFromUPower, AMouseAloneGivesNoSource) {
  EXPECT_TRUE(powerSourcesFromDevices({device(5, false, 42.0)}).empty());
  EXPECT_TRUE(powerSourcesFromDevices({}).empty());
}

TEST(PowerSourcesFromUPower, PercentageBecomesTheNearestWholeNumber) {
  const struct {
    double percentage;
    std::int64_t expected;
  } cases[] = {{56.6, 57}, {56.4, 56}, {100.0, 100}, {0.0, 0}, {0.5, 1}};
  for (const auto& c : cases) {
    const auto sources = powerSourcesFromDevices({device(2, true, c.percentage)});
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(capacity(sources[0]), c.expected) << c.percentage;
  }
}

}  // namespace
}  // namespace kestrine::linux_desktop
