#include "platform/linux/upower_devices.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ports/power.h"

namespace kestrine::linux_desktop {
namespace {

struct ProfileName {
  std::string_view profile;
  PowerMode mode;
};
constexpr ProfileName kProfiles[] = {
    {"power-saver", PowerMode::kLowPower},
    {"balanced", PowerMode::kAutomatic},
    {"performance", PowerMode::kHighPower},
};

// A number of a GetAll answer, tolerating the widths different daemon
// versions use; absent for anything that is not a number.
std::optional<double> number(GVariant* value) {
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) return g_variant_get_double(value);
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) return g_variant_get_uint32(value);
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) return g_variant_get_int32(value);
  return std::nullopt;
}

bool isSystemBattery(const UPowerDevice& device) {
  return device.isPresent && device.type == kUPowerTypeBattery && device.powerSupply;
}

bool isPresentUps(const UPowerDevice& device) {
  return device.isPresent && device.type == kUPowerTypeUps;
}

bool hasEnergy(const UPowerDevice* device) {
  return device->energy && device->energyFull && std::isfinite(*device->energy) &&
         std::isfinite(*device->energyFull) && *device->energy >= 0 && *device->energyFull > 0;
}

std::optional<std::int64_t> combinedLevel(const std::vector<const UPowerDevice*>& sources) {
  if (sources.size() == 1) return batteryLevelFromPercentage(sources.front()->percentage);
  if (std::all_of(sources.begin(), sources.end(), hasEnergy)) {
    double energy = 0;
    double full = 0;
    for (const UPowerDevice* source : sources) {
      energy += *source->energy;
      full += *source->energyFull;
    }
    if (auto level = batteryLevelFromPercentage(100.0 * energy / full)) return level;
  }
  std::optional<std::int64_t> lowest;
  for (const UPowerDevice* source : sources) {
    const auto level = batteryLevelFromPercentage(source->percentage);
    if (level && (!lowest || *level < *lowest)) lowest = level;
  }
  return lowest;
}

}  // namespace

UPowerDevice deviceFromProperties(GVariant* properties) {
  UPowerDevice device;
  GVariantIter iter;
  g_variant_iter_init(&iter, properties);
  const char* key = nullptr;
  GVariant* value = nullptr;
  while (g_variant_iter_loop(&iter, "{&sv}", &key, &value)) {
    const auto asNumber = number(value);
    const bool isBoolean = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN);
    if (std::strcmp(key, "Type") == 0) {
      if (asNumber && *asNumber >= 0 && *asNumber <= 100) {
        device.type = static_cast<std::uint32_t>(*asNumber);
      }
    } else if (std::strcmp(key, "Percentage") == 0) {
      device.percentage = asNumber;
    } else if (std::strcmp(key, "Energy") == 0) {
      device.energy = asNumber;
    } else if (std::strcmp(key, "EnergyFull") == 0) {
      device.energyFull = asNumber;
    } else if (std::strcmp(key, "PowerSupply") == 0 && isBoolean) {
      device.powerSupply = g_variant_get_boolean(value) != FALSE;
    } else if (std::strcmp(key, "IsPresent") == 0 && isBoolean) {
      device.isPresent = g_variant_get_boolean(value) != FALSE;
    }
  }
  return device;
}

std::optional<std::int64_t> batteryLevelFromPercentage(std::optional<double> percentage) {
  if (!percentage || !std::isfinite(*percentage) || *percentage < 0 || *percentage > 100) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(std::llround(*percentage));
}

std::optional<std::int64_t> displayDeviceLevel(const std::optional<UPowerDevice>& display) {
  if (!display || !display->isPresent || display->type != kUPowerTypeBattery) return std::nullopt;
  return batteryLevelFromPercentage(display->percentage);
}

std::optional<std::int64_t> batteryLevel(const std::optional<UPowerDevice>& display,
                                         const std::vector<UPowerDevice>& devices) {
  if (auto level = displayDeviceLevel(display)) return level;
  std::vector<const UPowerDevice*> batteries;
  std::vector<const UPowerDevice*> upses;
  for (const UPowerDevice& device : devices) {
    if (isSystemBattery(device)) batteries.push_back(&device);
    if (isPresentUps(device)) upses.push_back(&device);
  }
  if (!batteries.empty()) return combinedLevel(batteries);
  if (!upses.empty()) return combinedLevel(upses);
  return std::nullopt;
}

bool onBatteryFromProperty(GVariant* value) {
  return value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) &&
         g_variant_get_boolean(value) != FALSE;
}

std::optional<PowerMode> powerModeFromProfile(std::string_view profile) {
  for (const ProfileName& name : kProfiles) {
    if (name.profile == profile) return name.mode;
  }
  return std::nullopt;
}

std::string_view profileForPowerMode(PowerMode mode) {
  for (const ProfileName& name : kProfiles) {
    if (name.mode == mode) return name.profile;
  }
  return {};
}

SwitchFailure switchFailureFromError(std::string_view errorName, bool timedOut) {
  constexpr std::string_view kNoAnswer[] = {"org.freedesktop.DBus.Error.NoReply",
                                            "org.freedesktop.DBus.Error.Timeout",
                                            "org.freedesktop.DBus.Error.TimedOut"};
  // The daemon answers AccessDenied when polkit says no; polkit's own names
  // come through where a daemon passes them on.
  constexpr std::string_view kNotAllowed[] = {
      "org.freedesktop.DBus.Error.AccessDenied", "org.freedesktop.DBus.Error.AuthFailed",
      "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
      "org.freedesktop.PolicyKit1.Error.NotAuthorized"};
  constexpr std::string_view kNoService[] = {"org.freedesktop.DBus.Error.ServiceUnknown",
                                             "org.freedesktop.DBus.Error.NameHasNoOwner"};
  auto among = [errorName](const auto& names) {
    for (std::string_view name : names) {
      if (name == errorName) return true;
    }
    return false;
  };
  if (timedOut || among(kNoAnswer)) return SwitchFailure::kNoAnswer;
  if (among(kNotAllowed)) return SwitchFailure::kNotAllowed;
  if (among(kNoService)) return SwitchFailure::kNoService;
  return SwitchFailure::kRefused;
}

}  // namespace kestrine::linux_desktop
