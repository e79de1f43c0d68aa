#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/fake/recorder.h"
#include "ports/power.h"

namespace kestrine::fake {

// A machine's power as plain state: what the core reads and what its switch
// does. Every request is recorded.
class ScriptedPower final : public Power {
 public:
  explicit ScriptedPower(Recorder* recorder = nullptr) : recorder_(recorder) {}

  std::optional<std::int64_t> level = 100;
  bool onBattery = true;
  std::optional<PowerMode> mode = PowerMode::kAutomatic;  // absent: cannot be read
  bool switchSucceeds = true;
  std::optional<SwitchFailure> failure;  // why a failing switch fails, when told
  std::string unavailableReason;         // why the mode cannot be read, when known

  std::optional<std::int64_t> getBatteryLevel() override {
    note(PowerRequest::kLevel);
    return level;
  }
  bool isOnBattery() override {
    note(PowerRequest::kOnBattery);
    return onBattery;
  }
  std::optional<PowerMode> getPowerMode() override {
    note(PowerRequest::kMode);
    return mode;
  }
  bool setPowerMode(PowerMode newMode) override {
    note(PowerRequest::kSwitch);
    if (switchSucceeds) mode = newMode;
    return switchSucceeds;
  }
  std::optional<SwitchFailure> lastSwitchFailure() override {
    return switchSucceeds ? std::nullopt : failure;
  }
  std::string powerModeUnavailableReason() override { return unavailableReason; }

 private:
  void note(PowerRequest request) {
    if (recorder_) recorder_->add(request);
  }
  Recorder* recorder_;
};

}  // namespace kestrine::fake
