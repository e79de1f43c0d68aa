#pragma once

#include <gio/gio.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/upower_devices.h"

namespace kestrine::linux_desktop {

// Synchronous calls to UPower and power-profiles-daemon on the system bus.
// Failures come back as absent or false, never as an exception.
class SystemBus {
 public:
  // Readings give up after this long.
  static constexpr std::chrono::milliseconds kReadTimeout{10'000};
  // Setting the profile may wait for polkit's authentication dialog, so the
  // user gets time to type a password; a daemon that never answers still
  // frees the application after this long.
  static constexpr std::chrono::milliseconds kSwitchTimeout{120'000};

  // The system bus connection; absent when there is none.
  static std::unique_ptr<SystemBus> connect();
  ~SystemBus();
  SystemBus(const SystemBus&) = delete;
  SystemBus& operator=(const SystemBus&) = delete;

  // True once the bus has gone (a restarted system bus); connect again then.
  bool isClosed() const { return g_dbus_connection_is_closed(connection_) != FALSE; }

  // One UPower device's properties; absent when it cannot be read.
  std::optional<UPowerDevice> upowerDevice(const char* path);
  // UPower's devices, in the order of EnumerateDevices.
  std::optional<std::vector<UPowerDevice>> upowerDevices();
  // UPower's OnBattery; false when it cannot be read.
  bool upowerOnBattery();

  // power-profiles-daemon's ActiveProfile ("power-saver", "balanced", "performance").
  std::optional<std::string> activeProfile();
  // Sets ActiveProfile, letting polkit ask the user where it must; true only
  // when reading it back gives `profile`.
  bool setActiveProfile(const std::string& profile);

 private:
  explicit SystemBus(GDBusConnection* connection) : connection_(connection) {}
  GVariant* getProperty(const char* name, const char* path, const char* interface,
                        const char* property);
  // The first of the daemon's bus names that answers.
  struct ProfilesService {
    const char* name;
    const char* path;
    const char* interface;
  };
  std::optional<ProfilesService> profilesService();

  GDBusConnection* connection_;
  std::optional<ProfilesService> profiles_;
};

}  // namespace kestrine::linux_desktop
