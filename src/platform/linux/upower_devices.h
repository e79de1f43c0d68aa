#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/power.h"

namespace kestrine::linux_desktop {

// The few properties of a UPower device that Kestrine looks at. A property the
// daemon did not send, or sent with another type, keeps its default here; a
// number that cannot be a level stays a number, for batteryLevel() to refuse.
struct UPowerDevice {
  std::string objectPath;
  std::uint32_t type = 0;  // 1 line power, 2 battery, 3 UPS, 5 mouse, ...
  bool powerSupply = false;
  bool isPresent = true;
  std::optional<double> percentage;
  std::optional<double> energy;      // Wh
  std::optional<double> energyFull;  // Wh
};

inline constexpr std::uint32_t kUPowerTypeBattery = 2;
inline constexpr std::uint32_t kUPowerTypeUps = 3;
inline constexpr const char* kUPowerDisplayDevicePath =
    "/org/freedesktop/UPower/devices/DisplayDevice";

// A device from the properties of a GetAll answer (a{sv}).
UPowerDevice deviceFromProperties(GVariant* properties);

// A percentage as a whole battery level, rounded to the nearest: absent unless
// it is a finite number within 0-100.
std::optional<std::int64_t> batteryLevelFromPercentage(std::optional<double> percentage);

// The display device's own level, when it decides alone: present, a battery,
// with a level. Then the other devices need not be read at all.
std::optional<std::int64_t> displayDeviceLevel(const std::optional<UPowerDevice>& display);

// The battery level. UPower's display device decides when it is present, a
// battery, and has a level. Otherwise the present system batteries do (a
// battery that is a power supply; with none, a present UPS): one gives its
// own level; several are combined by energy when each reports its energy and
// full energy, else the lowest level counts. Peripheral batteries (mice,
// phones), empty bays and line power never count. Absent when nothing gives a
// level.
std::optional<std::int64_t> batteryLevel(const std::optional<UPowerDevice>& display,
                                         const std::vector<UPowerDevice>& devices);

// UPower's OnBattery property (null when it could not be read): true only for
// the boolean true, so that an unreadable source never switches anything.
bool onBatteryFromProperty(GVariant* value);

// power-profiles-daemon's profile as a power mode: "power-saver" low,
// "balanced" automatic, "performance" high; absent for any other name.
std::optional<PowerMode> powerModeFromProfile(std::string_view profile);
// The profile that sets a power mode; empty for a mode without one.
std::string_view profileForPowerMode(PowerMode mode);

// Why setting the profile failed, from the call's D-Bus error name (empty when
// the error was GLib's own, not the bus's) and whether the call timed out.
SwitchFailure switchFailureFromError(std::string_view errorName, bool timedOut);

}  // namespace kestrine::linux_desktop
