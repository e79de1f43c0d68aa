#pragma once

#include <cstdint>
#include <optional>

#include "ports/clock.h"

namespace kestrine::sim {

// The virtual laptop's battery: a charge that falls at a steady rate on battery
// and rises at another on mains, worked out lazily from the virtual clock.
class BatteryModel {
 public:
  // Percent, power source and rates in percentage points per minute.
  BatteryModel(double percent = 80.0, bool onMains = false, double drainPerMinute = 0.5,
               double chargePerMinute = 1.0);

  // Moves the charge forward to `now`; going back in time changes nothing.
  void advanceTo(WallTime now);

  void setPercent(double percent);
  void setOnMains(bool onMains) { onMains_ = onMains; }
  void setDrainPerMinute(double rate) { drainPerMinute_ = rate; }
  void setChargePerMinute(double rate) { chargePerMinute_ = rate; }

  double percent() const { return percent_; }
  bool onMains() const { return onMains_; }

  // The whole percentage the power-source service reports ("Current Capacity").
  std::int64_t level() const;
  // On mains and not yet full.
  bool charging() const;
  // What the battery report would estimate: minutes to empty on battery, to
  // full while charging; absent when the rate gives no estimate.
  std::optional<std::int64_t> minutesRemaining() const;

 private:
  double percent_;
  bool onMains_;
  double drainPerMinute_;
  double chargePerMinute_;
  std::optional<WallTime> lastTime_;
};

}  // namespace kestrine::sim
