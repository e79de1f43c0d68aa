#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ports/power_sources.h"

namespace kestrine::linux_desktop {

// The few properties of a UPower device that Kestrine looks at.
struct UPowerDevice {
  std::string objectPath;
  std::uint32_t type = 0;  // 1 line power, 2 battery, 3 UPS, 5 mouse, ...
  bool powerSupply = false;
  bool isPresent = true;
  double percentage = 0.0;
  std::uint32_t state = 0;       // 1 charging, 2 discharging, 3 empty, 4 fully charged, ...
  std::int64_t timeToEmpty = 0;  // seconds; 0 when unknown
  std::int64_t timeToFull = 0;   // seconds; 0 when unknown
};

inline constexpr std::uint32_t kUPowerTypeBattery = 2;
inline constexpr std::uint32_t kUPowerTypeUps = 3;

// Whether the device powers this machine: a system battery (a battery that is
// a power supply) or a UPS. Peripheral batteries (mice, keyboards, phones) and
// line power never count.
bool powersTheSystem(const UPowerDevice& device);

// The percentage as the whole number that the core reads as "Current Capacity".
std::int64_t wholePercent(double percentage);

// UPower's devices, in UPower's order, as the core's list of power sources:
// only the devices that power the system, each with a whole-number
// "Current Capacity".
PowerSourceList powerSourcesFromDevices(const std::vector<UPowerDevice>& devices);

}  // namespace kestrine::linux_desktop
