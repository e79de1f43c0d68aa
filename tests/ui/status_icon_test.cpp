#include "ui/status_icon.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kestrine {
namespace {

struct IconCase {
  std::string name;
  std::int64_t level;
  bool onBattery;
  std::optional<PowerMode> mode;
  std::int64_t threshold;
  std::string_view expected;
};

void PrintTo(const IconCase& c, std::ostream* os) { *os << c.name; }

class StatusIconTest : public ::testing::TestWithParam<IconCase> {};

TEST_P(StatusIconTest, ChoosesByTheFirstRuleThatApplies) {
  const IconCase& c = GetParam();
  EXPECT_EQ(chooseStatusIcon(c.level, c.onBattery, c.mode, c.threshold), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StatusIconTest,
    ::testing::Values(
        IconCase{"LowPowerModeWinsOverMains", 80, false, PowerMode::kLowPower, 20, "💤"},
        IconCase{"MainsWhateverTheLevel", 5, false, PowerMode::kAutomatic, 20, "🔌"},
        IconCase{"UnreadableModeCountsAsOff", 50, true, std::nullopt, 20, "🔋"},
        IconCase{"TwentyIsLowWhateverTheThreshold", 20, true, PowerMode::kAutomatic, 10, "🪫"},
        IconCase{"AtThresholdThirty", 30, true, PowerMode::kAutomatic, 30, "⚡"},
        IconCase{"TwentyUnderThresholdThirty", 20, true, PowerMode::kAutomatic, 30, "🪫"},
        IconCase{"ThresholdTwentyGoesStraightToLow", 21, true, PowerMode::kAutomatic, 20, "🔋"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kestrine
