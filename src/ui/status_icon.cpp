#include "ui/status_icon.h"

namespace kestrine {

std::string_view chooseStatusIcon(std::int64_t lastBatteryLevel, bool onBattery,
                                  std::optional<std::int64_t> powerMode, std::int64_t threshold) {
  // An unreadable mode counts as Low Power Mode off.
  if (powerMode == 1) return kIconLowPowerMode;
  if (!onBattery) return kIconExternalPower;
  if (lastBatteryLevel < kLowBatteryIconBound) return kIconLowBattery;
  if (threshold < lastBatteryLevel) return kIconOnBattery;
  return kIconAtThreshold;
}

}  // namespace kestrine
