#include "platform/macos/power_source_shape.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace kestrine::macos {
namespace {

using Entries = std::vector<RawPowerSourceEntry>;

constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();

TEST(PowerSourceShape, KeepsEachValueAsTheServiceTypedIt) {
  // A fraction must not turn into a level, even one with nothing after the
  // point, nor text into a number; numbers are not clamped.
  EXPECT_EQ(toPowerSourceDescription(Entries{{"Current Capacity", 57.0},
                                             {"Max Capacity", std::int64_t{-1}},
                                             {"Time to Empty", kLargest},
                                             {"Name", std::string("57")},
                                             {"Is Charging", true},
                                             {"Is Present", false}}),
            (PowerSourceDescription{{"Current Capacity", 57.0},
                                    {"Max Capacity", std::int64_t{-1}},
                                    {"Time to Empty", kLargest},
                                    {"Name", std::string("57")},
                                    {"Is Charging", true},
                                    {"Is Present", false}}));
}

TEST(PowerSourceShape, ListKeepsTheServiceOrderAndItsGaps) {
  const std::vector<RawPowerSourceDescription> raw{
      Entries{{"Name", std::string("UPS")}},
      std::nullopt,
      Entries{{"Current Capacity", std::int64_t{57}}},
      // A key that is not text voids the whole description.
      Entries{{"Current Capacity", std::int64_t{57}}, {std::nullopt, std::string("x")}},
      Entries{{"Current Capacity", OtherValue{}}, {"Name", std::string("x")}},
      Entries{},
  };
  const PowerSourceList expected{
      PowerSourceDescription{{"Name", std::string("UPS")}},
      std::nullopt,
      PowerSourceDescription{{"Current Capacity", std::int64_t{57}}},
      std::nullopt,
      PowerSourceDescription{{"Name", std::string("x")}},  // other kinds are left out
      PowerSourceDescription{},
  };
  EXPECT_EQ(toPowerSourceList(raw), expected);
}

}  // namespace
}  // namespace kestrine::macos
