#include "platform/linux/power.h"

#include <string>

namespace kestrine::linux_desktop {

SystemBus* SystemBusPower::bus() {
  if (bus_ && bus_->isClosed()) bus_.reset();
  if (!bus_) bus_ = SystemBus::connect();
  return bus_.get();
}

std::optional<std::int64_t> SystemBusPower::getBatteryLevel() {
  SystemBus* system = bus();
  if (system == nullptr) return std::nullopt;
  const auto display = system->upowerDevice(kUPowerDisplayDevicePath);
  const auto devices = system->upowerDevices();
  return batteryLevel(display, devices.value_or(std::vector<UPowerDevice>{}));
}

bool SystemBusPower::isOnBattery() {
  SystemBus* system = bus();
  return system != nullptr && system->upowerOnBattery();
}

std::optional<std::int64_t> SystemBusPower::getPowerMode() {
  SystemBus* system = bus();
  if (system == nullptr) return std::nullopt;
  const auto profile = system->activeProfile();
  if (!profile) return std::nullopt;
  return powerModeFromProfile(*profile);
}

bool SystemBusPower::setPowerMode(std::int64_t mode) {
  const std::string_view profile = profileForPowerMode(mode);
  SystemBus* system = bus();
  if (profile.empty() || system == nullptr) return false;
  return system->setActiveProfile(std::string(profile));
}

}  // namespace kestrine::linux_desktop
