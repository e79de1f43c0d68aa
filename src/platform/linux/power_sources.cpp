#include "platform/linux/power_sources.h"

namespace kestrine::linux_desktop {

std::optional<PowerSourceList> UPowerSources::copySources() {
  std::string error;
  if (!bus_) bus_ = SystemBus::connect(SystemBus::Address::FromEnvironment, error);
  if (!bus_) return std::nullopt;
  auto devices = bus_->upowerDevices(error);
  if (!devices) {
    bus_.reset();
    return std::nullopt;
  }
  return powerSourcesFromDevices(*devices);
}

}  // namespace kestrine::linux_desktop
