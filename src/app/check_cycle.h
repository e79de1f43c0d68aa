#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ports/wording.h"
#include "settings/config.h"

namespace kestrine {

// Which rule decided a check pass on battery.
enum class LowBatteryRule {
  kThreshold,  // Classic Threshold Mode, or Smart AI Mode still training
  kSmart,      // Smart AI Mode with a prediction
  kFallback,   // Smart AI Mode ready, but no prediction could be made
};

struct LowBatteryDecision {
  LowBatteryRule rule = LowBatteryRule::kThreshold;
  bool conditionMet = false;
  // The notification subtitle used if this pass switches Low Power Mode on.
  std::string subtitle;
  // The minutes left that decided it, by the kSmart rule.
  std::optional<std::int64_t> predictedMinutes;
};

// Whether the predictor should be asked at all: Smart AI Mode with enough data.
inline bool usesSmartRule(const Config& config, bool predictorReady) {
  return config.useSmartMode && predictorReady;
}

// The low-battery decision of a pass on battery. `prediction` is only looked at
// when usesSmartRule() holds; then a prediction decides alone (at or below the
// target), and without one the threshold decides with the fallback subtitle.
// The subtitle is the reason in the platform's words.
LowBatteryDecision decideLowBattery(std::int64_t level, const Config& config, bool predictorReady,
                                    std::optional<std::int64_t> prediction,
                                    const Wording& wording = {});

}  // namespace kestrine
