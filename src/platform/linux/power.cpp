#include "platform/linux/power.h"

#include <string>
#include <utility>

namespace kestrine::linux_desktop {

namespace {

constexpr const char* kProfilesServiceMissing = "power-profiles-daemon is not running";
constexpr const char* kHowToInstall =
    "Install it with \"sudo apt install power-profiles-daemon\" (it cannot be installed "
    "beside TLP).";

// What Kestrine says when power-profiles-daemon is on neither of its bus names:
// the title alone reads right in a collapsed banner.
Notification profilesServiceMissingNotification() {
  return Notification{
      .title = kProfilesServiceMissing,
      .subtitle = "",
      .body = std::string("Kestrine cannot switch to Power Saver without it. ") + kHowToInstall +
              " Kestrine switches as soon as it runs.",
  };
}

std::string profilesServiceMissingReason() {
  return std::string(kProfilesServiceMissing) + ". " + kHowToInstall;
}

}  // namespace

std::shared_ptr<SystemBus> SystemBusPower::bus() {
  if (bus_ && bus_->isClosed()) bus_.reset();
  if (!bus_) bus_ = SystemBus::connect(wait_);
  if (bus_ && !checkedProfilesService_) {
    checkedProfilesService_ = true;
    if (bus_->profilesServiceMissing()) notifier_.deliver(profilesServiceMissingNotification());
  }
  return bus_;
}

std::optional<std::int64_t> SystemBusPower::getBatteryLevel() {
  const auto system = bus();
  if (system == nullptr) return std::nullopt;
  const auto deadline = SystemBus::readingDeadline();
  const auto display = system->upowerDevice(kUPowerDisplayDevicePath, deadline);
  // Most machines end here: the daemon's own combination of the batteries.
  if (auto level = displayDeviceLevel(display)) return level;
  const auto devices = system->upowerDevices(deadline);
  return batteryLevel(display, devices.value_or(std::vector<UPowerDevice>{}));
}

bool SystemBusPower::isOnBattery() {
  const auto system = bus();
  return system != nullptr && system->upowerOnBattery(SystemBus::readingDeadline());
}

std::optional<PowerMode> SystemBusPower::getPowerMode() {
  const auto system = bus();
  if (system == nullptr) return std::nullopt;
  const auto profile = system->activeProfile(SystemBus::readingDeadline());
  if (!profile) return std::nullopt;
  return powerModeFromProfile(*profile);
}

bool SystemBusPower::setPowerMode(PowerMode mode) {
  const std::string_view profile = profileForPowerMode(mode);
  const auto system = bus();
  if (profile.empty() || system == nullptr || switching_) return false;
  switching_ = true;
  const bool switched = system->setActiveProfile(std::string(profile));
  switching_ = false;
  return switched;
}

std::string SystemBusPower::powerModeUnavailableReason() {
  const auto system = bus();
  return system != nullptr && system->profilesServiceMissing() ? profilesServiceMissingReason()
                                                               : std::string();
}

}  // namespace kestrine::linux_desktop
