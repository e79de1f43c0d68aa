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

std::string iconMeaning(std::string_view icon, const Wording& wording) {
  std::string meaning;
  if (icon == kIconLowPowerMode) meaning = std::string(wording.powerModes[1]) + " on";
  if (icon == kIconExternalPower) meaning = "on external power";
  if (icon == kIconLowBattery) meaning = "low battery";
  if (icon == kIconOnBattery) meaning = "on battery";
  if (icon == kIconAtThreshold) meaning = "at the threshold";
  if (meaning.empty()) return "Kestrine";
  return "Kestrine: " + meaning;
}

}  // namespace kestrine
