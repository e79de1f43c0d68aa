#include "platform/macos/power_source_shape.h"

#include "power/reports.h"

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
        DescriptionCase{"WholeNumberStaysWhole", Entries{{"Current Capacity", std::int64_t{57}}},
                        PowerSourceDescription{{"Current Capacity", std::int64_t{57}}}},
        // A fraction must not turn into a level, even one with nothing after the point.
        DescriptionCase{"FractionStaysFraction", Entries{{"Current Capacity", 57.0}},
                        PowerSourceDescription{{"Current Capacity", 57.0}}},
        DescriptionCase{"TextStaysTextNotParsed", Entries{{"Current Capacity", std::string("57")}},
                        PowerSourceDescription{{"Current Capacity", std::string("57")}}},
        DescriptionCase{"BooleanStaysBoolean",
                        Entries{{"Is Charging", true}, {"Is Present", false}},
                        PowerSourceDescription{{"Is Charging", true}, {"Is Present", false}}},
        DescriptionCase{"OtherKindsAreLeftOut",
                        Entries{{"Current Capacity", OtherValue{}}, {"Name", std::string("x")}},
                        PowerSourceDescription{{"Name", std::string("x")}}},
        DescriptionCase{"OutOfRangeNumbersAreNotClamped",
                        Entries{{"Current Capacity", std::int64_t{150}},
                                {"Max Capacity", std::int64_t{-1}},
                                {"Time to Empty", kLargest}},
                        PowerSourceDescription{{"Current Capacity", std::int64_t{150}},
                                               {"Max Capacity", std::int64_t{-1}},
                                               {"Time to Empty", kLargest}}},
        // Keys are kept byte for byte: a near miss must not be read as the capacity.
        DescriptionCase{"KeysAreNotNormalised",
                        Entries{{"current capacity", std::int64_t{1}},
                                {"Current Capacity ", std::int64_t{2}},
                                {"CurrentCapacity", std::int64_t{3}}},
                        PowerSourceDescription{{"current capacity", std::int64_t{1}},
                                               {"Current Capacity ", std::int64_t{2}},
                                               {"CurrentCapacity", std::int64_t{3}}}},
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

TEST(PowerSourceShape, NoSourcesGiveAnEmptyList) { EXPECT_TRUE(toPowerSourceList({}).empty()); }

// What reaches the core decides the battery level: only a whole "Current
// Capacity" may count, and the first source that has one wins.
struct LevelCase {
  std::string name;
  std::vector<RawPowerSourceDescription> sources;
  std::optional<std::int64_t> level;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

class LevelFromConvertedSources : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelFromConvertedSources, TakesOnlyAWholeCurrentCapacity) {
  EXPECT_EQ(batteryLevelFromSources(toPowerSourceList(GetParam().sources)), GetParam().level);
}

INSTANTIATE_TEST_SUITE_P(
    PowerSourceShape, LevelFromConvertedSources,
    ::testing::Values(
        LevelCase{
            "FractionTextAndBooleanAreSkipped",
            {Entries{{"Current Capacity", 57.0}}, Entries{{"Current Capacity", std::string("57")}},
             Entries{{"Current Capacity", true}}, Entries{{"Current Capacity", std::int64_t{42}}}},
            std::int64_t{42}},
        LevelCase{"ADescriptionWithANonTextKeyIsSkipped",
                  {Entries{{"Current Capacity", std::int64_t{57}}, {std::nullopt, true}},
                   Entries{{"Current Capacity", std::int64_t{3}}}},
                  std::int64_t{3}},
        LevelCase{"AnUnreadableValueIsSkipped",
                  {Entries{{"Current Capacity", OtherValue{}}},
                   Entries{{"Current Capacity", std::int64_t{150}}}},
                  std::int64_t{150}},
        LevelCase{"OnlyTheExactKeyCounts",
                  {Entries{{"current capacity", std::int64_t{57}},
                           {"Current Capacity ", std::int64_t{58}}}},
                  std::nullopt},
        LevelCase{"NoWholeCapacityAnywhere",
                  {std::nullopt, Entries{{"Current Capacity", 12.5}}},
                  std::nullopt},
        LevelCase{
            "TheFirstOfTwoWholeCapacitiesWins",
            {Entries{{"Name", std::string("UPS")}}, Entries{{"Current Capacity", std::int64_t{57}}},
             Entries{{"Current Capacity", std::int64_t{12}}}},
            std::int64_t{57}},
        LevelCase{"NoSourcesGiveNoLevel", {}, std::nullopt}),
    [](const ::testing::TestParamInfo<LevelCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kestrine::macos
