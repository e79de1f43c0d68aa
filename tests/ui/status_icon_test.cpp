#include "ui/status_icon.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

namespace kestrine {
namespace {

// Each case: its name, the level, on battery, the mode, the threshold, the icon.
TEST(StatusIconTest, ChoosesByTheFirstRuleThatApplies) {
  const std::tuple<const char*, std::int64_t, bool, std::optional<PowerMode>, std::int64_t,
                   std::string_view>
      cases[] = {{"LowPowerModeWinsOverMains", 80, false, PowerMode::kLowPower, 20, "💤"},
                 {"MainsWhateverTheLevel", 5, false, PowerMode::kAutomatic, 20, "🔌"},
                 {"UnreadableModeCountsAsOff", 50, true, std::nullopt, 20, "🔋"},
                 {"TwentyIsLowWhateverTheThreshold", 20, true, PowerMode::kAutomatic, 10, "🪫"},
                 {"AtThresholdThirty", 30, true, PowerMode::kAutomatic, 30, "⚡"},
                 {"TwentyUnderThresholdThirty", 20, true, PowerMode::kAutomatic, 30, "🪫"},
                 {"ThresholdTwentyGoesStraightToLow", 21, true, PowerMode::kAutomatic, 20, "🔋"}};
  for (const auto& [name, level, onBattery, mode, threshold, icon] : cases)
    EXPECT_EQ(chooseStatusIcon(level, onBattery, mode, threshold), icon) << name;
}

}  // namespace
}  // namespace kestrine
