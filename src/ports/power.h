#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrine {

// A power mode: the three this application names, or any other value a
// platform reported, kept as it came (its name is then "Unknown").
enum class PowerMode : std::int64_t {
  kAutomatic = 0,
  kLowPower = 1,
  kHighPower = 2,
};

// Why Low Power Mode could not be switched on, where the platform can tell.
enum class SwitchFailure {
  kNotAllowed,  // the system's policy refused it
  kNoAnswer,    // the power service did not answer in time
  kNoService,   // no power service is running
  kRefused,     // the power service refused it for a reason of its own
};

// The machine's battery, its power mode and the switch. Every reading is fresh;
// nothing here throws, and a reading that cannot be had is absent or false.
class Power {
 public:
  virtual ~Power() = default;

  // The battery's charge in whole percent; absent when no battery reports one.
  virtual std::optional<std::int64_t> getBatteryLevel() = 0;
  // Running on battery power; false when that cannot be told.
  virtual bool isOnBattery() = 0;
  // The current power mode; absent when it cannot be read.
  virtual std::optional<PowerMode> getPowerMode() = 0;
  // Sets the power mode; true only when the system accepted it. May wait for the
  // user to authorise it, for a bounded time.
  virtual bool setPowerMode(PowerMode mode) = 0;
  // Why the last setPowerMode() failed, where the platform can tell; absent
  // otherwise (and after a switch that succeeded).
  virtual std::optional<SwitchFailure> lastSwitchFailure() { return std::nullopt; }
  // Why the power mode cannot be had, when the platform knows it (a system
  // service it needs is missing): a sentence for the user; empty otherwise.
  virtual std::string powerModeUnavailableReason() { return {}; }
};

}  // namespace kestrine
