#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ports/power.h"

namespace kestrine::fake {

// A machine's power as plain state: what the core reads and what its switch
// does. Every request is logged by a short name, in order: "level",
// "onBattery", "mode", "switch" and "setup".
class ScriptedPower final : public Power {
 public:
  std::optional<std::int64_t> level = 100;
  bool onBattery = true;
  std::optional<PowerMode> mode = PowerMode::kAutomatic;  // absent: cannot be read
  bool switchSucceeds = true;
  std::optional<SwitchFailure> failure;  // why a failing switch fails, when told
  bool oneTimeSetup = true;
  std::string unavailableReason;  // why the mode cannot be read, when known
  // What the one-time setup does; by default it is installed at once.
  std::function<void(Alerts&, const SetupHooks&)> setup;
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
  bool hasOneTimeSetup() const override { return oneTimeSetup; }
  void runOneTimeSetup(Alerts& alerts, const SetupHooks& hooks) override {
    log.emplace_back("setup");
    if (setup) {
      setup(alerts, hooks);
    } else if (hooks.installed) {
      hooks.installed();
    }
  }

  std::size_t count(const std::string& request) const {
    std::size_t n = 0;
    for (const std::string& entry : log) n += entry == request ? 1 : 0;
    return n;
  }
};

}  // namespace kestrine::fake
