#pragma once

#include <memory>
#include <set>
#include <string>

#include "platform/linux/system_bus.h"
#include "ports/notifications.h"
#include "ports/power.h"

namespace kestrine::linux_desktop {

// Power straight over the system bus: the battery level and the power source
// from UPower, the power mode from power-profiles-daemon's active profile, and
// the switch by setting that profile. The daemon lets the active session switch
// without privileges, so there is no one-time setup and no child process.
//
// Every call waits through `wait`, which keeps the application's loop running;
// a switch in flight refuses a second one. Without power-profiles-daemon on the
// bus nothing asks it anything (the power mode is unknown, no switch is tried)
// until it appears; the first connection says so once through `notifier`.
// A failed call prints the D-Bus error's name and message on standard error,
// once per distinct error.
class SystemBusPower final : public Power {
 public:
  SystemBusPower(WaitForAnswer wait, Notifier& notifier)
      : wait_(std::move(wait)), notifier_(notifier) {}

  std::optional<std::int64_t> getBatteryLevel() override;
  bool isOnBattery() override;
  std::optional<PowerMode> getPowerMode() override;
  bool setPowerMode(PowerMode mode) override;
  std::optional<SwitchFailure> lastSwitchFailure() override { return failure_; }
  std::string powerModeUnavailableReason() override;

 private:
  // The connection, made on first use and again after the bus went away, so a
  // late-starting system bus is picked up. Null when there is none.
  // Shared, so that a call in flight keeps its connection while a reading
  // made meanwhile (from the menu) replaces a closed one.
  std::shared_ptr<SystemBus> bus();

  void report(const std::string& call, const std::string& errorName, const std::string& message);

  WaitForAnswer wait_;
  Notifier& notifier_;
  std::shared_ptr<SystemBus> bus_;
  std::optional<SwitchFailure> failure_;
  std::set<std::string> reported_;
  bool checkedProfilesService_ = false;
  bool switching_ = false;
};

}  // namespace kestrine::linux_desktop
