#pragma once

#include <memory>

#include "platform/linux/system_bus.h"
#include "ports/power.h"

namespace kestrine::linux_desktop {

// Power straight over the system bus: the battery level and the power source
// from UPower, the power mode from power-profiles-daemon's active profile, and
// the switch by setting that profile. The daemon lets the active session switch
// without privileges; where polkit must ask, it shows its own dialog. So there
// is no one-time setup and no child process.
class SystemBusPower final : public Power {
 public:
  std::optional<std::int64_t> getBatteryLevel() override;
  bool isOnBattery() override;
  std::optional<std::int64_t> getPowerMode() override;
  bool setPowerMode(std::int64_t mode) override;
  bool hasOneTimeSetup() const override { return false; }
  void runOneTimeSetup(Alerts&, const SetupHooks&) override {}

 private:
  // The connection, made on first use and again after the bus went away, so a
  // late-starting system bus is picked up. Null when there is none.
  SystemBus* bus();

  std::unique_ptr<SystemBus> bus_;
};

}  // namespace kestrine::linux_desktop
