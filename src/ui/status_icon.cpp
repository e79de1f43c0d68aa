#include "ui/status_icon.h"

#include <array>

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
  constexpr std::array<std::string_view, 5> kIcons = {
      kIconLowPowerMode, kIconExternalPower, kIconLowBattery, kIconOnBattery, kIconAtThreshold};
  for (std::size_t i = 0; i < kIcons.size(); ++i) {
    if (icon == kIcons[i]) return "Kestrine: " + std::string(wording.iconMeanings[i]);
  }
  return "Kestrine";
}

}  // namespace kestrine
