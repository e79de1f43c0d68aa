#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine::linux_desktop {

// The few properties of a UPower device that Kestrine looks at.
struct UPowerDevice {
  std::string objectPath;
  std::uint32_t type = 0;  // 1 line power, 2 battery, 3 UPS, 5 mouse, ...
  bool powerSupply = false;
  double percentage = 0.0;
};

inline constexpr std::uint32_t kUPowerTypeBattery = 2;
inline constexpr std::uint32_t kUPowerTypeUps = 3;

// Whether the device powers this machine: a system battery (a battery that is
// a power supply) or a UPS. Peripheral batteries (mice, keyboards, phones) and
// line power never count.
bool powersTheSystem(const UPowerDevice& device);

// The percentage as a whole number, rounded to the nearest.
std::int64_t wholePercent(double percentage);

// The battery level: the whole percentage of the first device, in UPower's
// order, that powers the system; absent when none does.
std::optional<std::int64_t> batteryLevelFromDevices(const std::vector<UPowerDevice>& devices);

// power-profiles-daemon's profile as a power mode: "power-saver" 1, "balanced"
// 0, "performance" 2; absent for any other name.
std::optional<std::int64_t> powerModeFromProfile(std::string_view profile);
// The profile that sets a power mode; empty for a mode without one.
std::string_view profileForPowerMode(std::int64_t mode);

}  // namespace kestrine::linux_desktop
