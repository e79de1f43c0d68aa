#include "sim/battery_model.h"

#include <algorithm>
#include <cmath>

namespace kestrine::sim {

namespace {
// Rounding noise from repeated small steps must not cost a whole percent.
constexpr double kLevelEpsilon = 1e-9;
// Estimates beyond this many minutes (some 190 years) give none: a rate that
// slow says nothing, and the whole minutes must fit the report's integer.
constexpr double kLongestEstimate = 1e8;

std::optional<std::int64_t> wholeMinutes(double minutes) {
  if (!(minutes >= 0.0 && minutes < kLongestEstimate)) return std::nullopt;
  return static_cast<std::int64_t>(minutes);
}
}  // namespace

BatteryModel::BatteryModel(double percent, bool onMains, double drainPerMinute,
                           double chargePerMinute)
    : percent_(std::clamp(percent, 0.0, 100.0)),
      onMains_(onMains),
      drainPerMinute_(drainPerMinute),
      chargePerMinute_(chargePerMinute) {}

void BatteryModel::advanceTo(WallTime now) {
  if (lastTime_ && now > *lastTime_) {
    const double minutes = (now - *lastTime_) / 60.0;
    const double delta = onMains_ ? chargePerMinute_ * minutes : -drainPerMinute_ * minutes;
    percent_ = std::clamp(percent_ + delta, 0.0, 100.0);
  }
  if (!lastTime_ || now > *lastTime_) lastTime_ = now;
}

void BatteryModel::setPercent(double percent) { percent_ = std::clamp(percent, 0.0, 100.0); }

std::int64_t BatteryModel::level() const {
  // The charge is clamped to 0..100 whenever it is set; a NaN reads as empty.
  if (!(percent_ >= 0.0)) return 0;
  return static_cast<std::int64_t>(std::floor(percent_ + kLevelEpsilon));
}

bool BatteryModel::charging() const { return onMains_ && level() < 100; }

std::optional<std::int64_t> BatteryModel::minutesRemaining() const {
  if (!onMains_) {
    if (drainPerMinute_ <= 0.0) return std::nullopt;
    return wholeMinutes(percent_ / drainPerMinute_);
  }
  if (level() >= 100) return 0;
  if (chargePerMinute_ <= 0.0) return std::nullopt;
  return wholeMinutes((100.0 - percent_) / chargePerMinute_);
}

}  // namespace kestrine::sim
