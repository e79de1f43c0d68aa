#include "app/check_cycle.h"

namespace kestrine {

LowBatteryDecision decideLowBattery(std::int64_t level, const Config& config, bool predictorReady,
                                    std::optional<std::int64_t> prediction) {
  const std::string levelText = "Battery at " + std::to_string(level) + "%";
  if (!usesSmartRule(config, predictorReady)) {
    return {LowBatteryRule::kThreshold, level <= config.threshold, levelText};
  }
  if (prediction) {
    return {LowBatteryRule::kSmart, *prediction <= config.smartModeTargetMinutes,
            "~" + std::to_string(*prediction) + " min remaining (Smart AI Mode)"};
  }
  return {LowBatteryRule::kFallback, level <= config.threshold, levelText + " (fallback)"};
}

}  // namespace kestrine
