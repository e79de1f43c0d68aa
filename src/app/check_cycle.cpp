#include "app/check_cycle.h"

#include "ui/messages.h"

namespace kestrine {

LowBatteryDecision decideLowBattery(std::int64_t level, const Config& config, bool predictorReady,
                                    std::optional<std::int64_t> prediction,
                                    const Wording& wording) {
  if (!usesSmartRule(config, predictorReady)) {
    return {LowBatteryRule::kThreshold, level <= config.threshold,
            fillIn(wording.thresholdReason, {level}), std::nullopt};
  }
  if (prediction) {
    return {LowBatteryRule::kSmart, *prediction <= config.smartModeTargetMinutes,
            fillIn(wording.smartReason, {*prediction}), prediction};
  }
  return {LowBatteryRule::kFallback, level <= config.threshold,
          fillIn(wording.fallbackReason, {level}), std::nullopt};
}

}  // namespace kestrine
