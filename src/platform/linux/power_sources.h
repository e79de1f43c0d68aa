#pragma once

#include <memory>

#include "platform/linux/system_bus.h"
#include "ports/power_sources.h"

namespace kestrine::linux_desktop {

// Power sources from UPower on the system bus: system batteries and UPS
// devices in UPower's order. The connection is made on first use and made
// again after a failure, so a late-starting UPower is picked up.
class UPowerSources final : public PowerSources {
 public:
  std::optional<PowerSourceList> copySources() override;

 private:
  std::unique_ptr<SystemBus> bus_;
};

}  // namespace kestrine::linux_desktop
