#include "platform/linux/power.h"

#include <glib/gi18n.h>

#include <cstdio>
#include <string>
#include <utility>

namespace kestrine::linux_desktop {

namespace {

constexpr const char* kProfilesServiceMissing = N_("power-profiles-daemon is not running");
constexpr const char* kHowToInstall =
    N_("Install it with \"sudo apt install power-profiles-daemon\" (it cannot be installed "
       "beside TLP).");

// What Kestrine says when power-profiles-daemon is on neither of its bus names:
// the title alone reads right in a collapsed banner.
Notification profilesServiceMissingNotification() {
  return Notification{
      .title = _(kProfilesServiceMissing),
      .subtitle = "",
      .body = std::string(_("Kestrine cannot switch to Power Saver without it.")) + " " +
              _(kHowToInstall) + " " + _("Kestrine switches as soon as it runs."),
  };
}

std::string profilesServiceMissingReason() {
  return std::string(_(kProfilesServiceMissing)) + ". " + _(kHowToInstall);
}

}  // namespace

std::shared_ptr<SystemBus> SystemBusPower::bus() {
  if (bus_ && bus_->isClosed()) bus_.reset();
  if (!bus_) {
    auto report = [this](const std::string& call, const std::string& errorName,
                         const std::string& message) { this->report(call, errorName, message); };
    bus_ = SystemBus::connect(wait_, report);
  }
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
  if (profile.empty() || switching_) return false;
  const auto system = bus();
  if (system == nullptr) {
    failure_ = SwitchFailure::kNoService;
    return false;
  }
  switching_ = true;
  failure_ = system->setActiveProfile(std::string(profile));
  switching_ = false;
  return !failure_;
}

// Each distinct error once: a daemon that refuses every 30 s says so once.
void SystemBusPower::report(const std::string& call, const std::string& errorName,
                            const std::string& message) {
  const std::string line = "kestrine: " + call + ": " +
                           (errorName.empty() ? std::string("no D-Bus error name") : errorName) +
                           ": " + message;
  if (reported_.insert(line).second) std::fprintf(stderr, "%s\n", line.c_str());
}

std::string SystemBusPower::powerModeUnavailableReason() {
  const auto system = bus();
  return system != nullptr && system->profilesServiceMissing() ? profilesServiceMissingReason()
                                                               : std::string();
}

}  // namespace kestrine::linux_desktop
