#include "ui/status_icon.h"

namespace kestrine {

std::string_view chooseStatusIcon(std::int64_t lastBatteryLevel, bool onBattery,
                                  std::optional<PowerMode> powerMode, std::int64_t threshold) {
  // An unreadable mode counts as Low Power Mode off.
  if (powerMode == PowerMode::kLowPower) return kIconLowPowerMode;
  if (!onBattery) return kIconExternalPower;
  if (lastBatteryLevel < kLowBatteryIconBound) return kIconLowBattery;
  if (threshold < lastBatteryLevel) return kIconOnBattery;
  return kIconAtThreshold;
}

std::string iconMeaning(std::string_view icon) {
  std::string_view meaning;
  if (icon == kIconLowPowerMode) meaning = "Low Power Mode on";
  if (icon == kIconExternalPower) meaning = "on external power";
  if (icon == kIconLowBattery) meaning = "low battery";
  if (icon == kIconOnBattery) meaning = "on battery";
  if (icon == kIconAtThreshold) meaning = "at the threshold";
  if (meaning.empty()) return "Kestrine";
  return "Kestrine: " + std::string(meaning);
}

}  // namespace kestrine
