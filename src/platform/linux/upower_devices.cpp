#include "platform/linux/upower_devices.h"

#include <cmath>

namespace kestrine::linux_desktop {

bool powersTheSystem(const UPowerDevice& device) {
  if (device.type == kUPowerTypeUps) return true;
  return device.type == kUPowerTypeBattery && device.powerSupply;
}

std::int64_t wholePercent(double percentage) {
  if (!std::isfinite(percentage)) return 0;
  return static_cast<std::int64_t>(std::llround(percentage));
}

PowerSourceList powerSourcesFromDevices(const std::vector<UPowerDevice>& devices) {
  PowerSourceList sources;
  int batteries = 0;
  int upses = 0;
  for (const UPowerDevice& device : devices) {
    if (!powersTheSystem(device)) continue;
    const bool ups = device.type == kUPowerTypeUps;
    PowerSourceDescription description;
    description["Current Capacity"] = wholePercent(device.percentage);
    description["Max Capacity"] = std::int64_t{100};
    description["Is Present"] = device.isPresent;
    description["Type"] = std::string(ups ? "UPS" : "InternalBattery");
    description["Name"] =
        ups ? "UPS-" + std::to_string(upses++) : "InternalBattery-" + std::to_string(batteries++);
    description["Is Charging"] = device.state == 1;
    sources.emplace_back(std::move(description));
  }
  return sources;
}

}  // namespace kestrine::linux_desktop
