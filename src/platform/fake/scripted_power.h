#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ports/power.h"

namespace kestrine::fake {

// A machine's power as plain state: what the core reads and what its switch
// does. Every request is logged by a short name, in order: "level",
// "onBattery", "mode" and "switch".
class ScriptedPower final : public Power {
 public:
  std::optional<std::int64_t> level = 100;
  bool onBattery = true;
  std::optional<PowerMode> mode = PowerMode::kAutomatic;  // absent: cannot be read
  bool switchSucceeds = true;
  std::optional<SwitchFailure> failure;  // why a failing switch fails, when told
  std::string unavailableReason;         // why the mode cannot be read, when known
  std::vector<std::string> log;

  std::optional<std::int64_t> getBatteryLevel() override {
    log.emplace_back("level");
    return level;
  }
  bool isOnBattery() override {
    log.emplace_back("onBattery");
    return onBattery;
  }
  std::optional<PowerMode> getPowerMode() override {
    log.emplace_back("mode");
    return mode;
  }
  bool setPowerMode(PowerMode newMode) override {
    log.emplace_back("switch");
    if (switchSucceeds) mode = newMode;
    return switchSucceeds;
  }
  std::optional<SwitchFailure> lastSwitchFailure() override {
    return switchSucceeds ? std::nullopt : failure;
  }
  std::string powerModeUnavailableReason() override { return unavailableReason; }

  std::size_t count(const std::string& request) const {
    std::size_t n = 0;
    for (const std::string& entry : log) n += entry == request ? 1 : 0;
    return n;
  }
};

}  // namespace kestrine::fake
