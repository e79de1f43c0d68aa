#include "platform/macos/power_source_shape.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kestrine::macos {
namespace {

using Entries = std::vector<RawPowerSourceEntry>;

struct DescriptionCase {
  std::string name;
  RawPowerSourceDescription raw;
  std::optional<PowerSourceDescription> expected;
};

void PrintTo(const DescriptionCase& c, std::ostream* os) { *os << c.name; }

class DescriptionConversion : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionConversion, KeepsEachValueAsTheServiceTypedIt) {
  EXPECT_EQ(toPowerSourceDescription(GetParam().raw), GetParam().expected);
}

constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    PowerSourceShape, DescriptionConversion,
    ::testing::Values(
        // A fraction must not turn into a level, even one with nothing after the
        // point, nor text into a number; numbers are not clamped.
        DescriptionCase{"EachValueKeepsItsKind",
                        Entries{{"Current Capacity", 57.0},
                                {"Max Capacity", std::int64_t{-1}},
                                {"Time to Empty", kLargest},
                                {"Name", std::string("57")},
                                {"Is Charging", true},
                                {"Is Present", false}},
                        PowerSourceDescription{{"Current Capacity", 57.0},
                                               {"Max Capacity", std::int64_t{-1}},
                                               {"Time to Empty", kLargest},
                                               {"Name", std::string("57")},
                                               {"Is Charging", true},
                                               {"Is Present", false}}},
        DescriptionCase{"OtherKindsAreLeftOut",
                        Entries{{"Current Capacity", OtherValue{}}, {"Name", std::string("x")}},
                        PowerSourceDescription{{"Name", std::string("x")}}},
        DescriptionCase{
            "AKeyThatIsNotTextVoidsTheWholeDescription",
            Entries{{"Current Capacity", std::int64_t{57}}, {std::nullopt, std::int64_t{1}}},
            std::nullopt},
        DescriptionCase{"NoDescriptionStaysAbsent", std::nullopt, std::nullopt},
        DescriptionCase{"EmptyDictionaryIsAnEmptyDescription", Entries{},
                        PowerSourceDescription{}}),
    [](const ::testing::TestParamInfo<DescriptionCase>& info) { return info.param.name; });

TEST(PowerSourceShape, ListKeepsTheServiceOrderAndItsGaps) {
  const std::vector<RawPowerSourceDescription> raw{
      Entries{{"Name", std::string("UPS")}},
      std::nullopt,
      Entries{{"Current Capacity", std::int64_t{57}}},
      Entries{{std::nullopt, std::string("x")}},
  };
  const PowerSourceList expected{
      PowerSourceDescription{{"Name", std::string("UPS")}},
      std::nullopt,
      PowerSourceDescription{{"Current Capacity", std::int64_t{57}}},
      std::nullopt,
  };
  EXPECT_EQ(toPowerSourceList(raw), expected);
}

}  // namespace
}  // namespace kestrine::macos
