#include "platform/linux/upower_devices.h"

#include <cmath>

#include "ports/power.h"

namespace kestrine::linux_desktop {
namespace {

struct ProfileName {
  std::string_view profile;
  std::int64_t mode;
};
constexpr ProfileName kProfiles[] = {
    {"power-saver", kLowPowerModeOn},
    {"balanced", kPowerModeNormal},
    {"performance", kPowerModeHighPerformance},
};

}  // namespace

bool powersTheSystem(const UPowerDevice& device) {
  if (device.type == kUPowerTypeUps) return true;
  return device.type == kUPowerTypeBattery && device.powerSupply;
}

std::int64_t wholePercent(double percentage) {
  if (!std::isfinite(percentage)) return 0;
  return static_cast<std::int64_t>(std::llround(percentage));
}

std::optional<std::int64_t> batteryLevelFromDevices(const std::vector<UPowerDevice>& devices) {
  for (const UPowerDevice& device : devices) {
    if (powersTheSystem(device)) return wholePercent(device.percentage);
  }
  return std::nullopt;
}

std::optional<std::int64_t> powerModeFromProfile(std::string_view profile) {
  for (const ProfileName& name : kProfiles) {
    if (name.profile == profile) return name.mode;
  }
  return std::nullopt;
}

std::string_view profileForPowerMode(std::int64_t mode) {
  for (const ProfileName& name : kProfiles) {
    if (name.mode == mode) return name.profile;
  }
  return {};
}

}  // namespace kestrine::linux_desktop
