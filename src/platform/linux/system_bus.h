#pragma once

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/upower_devices.h"

namespace kestrine::linux_desktop {

// The well-known socket of the system bus, used when no address may be taken
// from the environment.
inline constexpr const char* kFixedSystemBusAddress = "unix:path=/run/dbus/system_bus_socket";

// Synchronous calls to UPower and power-profiles-daemon on the system bus.
// Every call gives up after a few seconds; failures come back as absent or
// false with a readable reason, never as an exception.
class SystemBus {
 public:
  enum class Address {
    FromEnvironment,  // GLib's rules: DBUS_SYSTEM_BUS_ADDRESS, then the default socket
    FixedSocket,      // only kFixedSystemBusAddress, whatever the environment says
  };

  static std::unique_ptr<SystemBus> connect(Address address, std::string& error);
  ~SystemBus();
  SystemBus(const SystemBus&) = delete;
  SystemBus& operator=(const SystemBus&) = delete;

  // UPower's devices, in the order of EnumerateDevices.
  std::optional<std::vector<UPowerDevice>> upowerDevices(std::string& error);
  std::optional<bool> upowerOnBattery(std::string& error);

  // power-profiles-daemon's ActiveProfile ("power-saver", "balanced", "performance").
  std::optional<std::string> activeProfile(std::string& error);
  // Sets ActiveProfile; true only when reading it back gives `profile`.
  bool setActiveProfile(const std::string& profile, std::string& error);

 private:
  explicit SystemBus(GDBusConnection* connection) : connection_(connection) {}
  GVariant* getProperty(const char* name, const char* path, const char* interface,
                        const char* property, std::string& error);
  // The first of the daemon's bus names that answers.
  struct ProfilesService {
    const char* name;
    const char* path;
    const char* interface;
  };
  std::optional<ProfilesService> profilesService(std::string& error);

  GDBusConnection* connection_;
  std::optional<ProfilesService> profiles_;
};

}  // namespace kestrine::linux_desktop
