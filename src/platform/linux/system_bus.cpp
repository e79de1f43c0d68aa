#include "platform/linux/system_bus.h"

namespace kestrine::linux_desktop {
namespace {

constexpr int kReadTimeoutMs = static_cast<int>(SystemBus::kReadTimeout.count());
constexpr int kSwitchTimeoutMs = static_cast<int>(SystemBus::kSwitchTimeout.count());
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kUPowerName = "org.freedesktop.UPower";
constexpr const char* kUPowerPath = "/org/freedesktop/UPower";
constexpr const char* kUPowerDeviceInterface = "org.freedesktop.UPower.Device";

}  // namespace

std::unique_ptr<SystemBus> SystemBus::connect() {
  GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  if (connection == nullptr) return nullptr;
  // A restarted system bus must not end the application.
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  return std::unique_ptr<SystemBus>(new SystemBus(connection));
}

SystemBus::~SystemBus() { g_object_unref(connection_); }

GVariant* SystemBus::getProperty(const char* name, const char* path, const char* interface,
                                 const char* property) {
  GVariant* reply = g_dbus_connection_call_sync(
      connection_, name, path, kProperties, "Get", g_variant_new("(ss)", interface, property),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kReadTimeoutMs, nullptr, nullptr);
  if (reply == nullptr) return nullptr;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  g_variant_unref(reply);
  return value;
}

std::optional<UPowerDevice> SystemBus::upowerDevice(const char* path) {
  GVariant* all = g_dbus_connection_call_sync(connection_, kUPowerName, path, kProperties, "GetAll",
                                              g_variant_new("(s)", kUPowerDeviceInterface),
                                              G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE,
                                              kReadTimeoutMs, nullptr, nullptr);
  if (all == nullptr) return std::nullopt;
  GVariant* properties = g_variant_get_child_value(all, 0);
  UPowerDevice device = deviceFromProperties(properties);
  device.objectPath = path;
  g_variant_unref(properties);
  g_variant_unref(all);
  return device;
}

std::optional<std::vector<UPowerDevice>> SystemBus::upowerDevices() {
  GVariant* reply = g_dbus_connection_call_sync(
      connection_, kUPowerName, kUPowerPath, kUPowerName, "EnumerateDevices", nullptr,
      G_VARIANT_TYPE("(ao)"), G_DBUS_CALL_FLAGS_NONE, kReadTimeoutMs, nullptr, nullptr);
  if (reply == nullptr) return std::nullopt;
  std::vector<UPowerDevice> devices;
  GVariantIter* paths = nullptr;
  g_variant_get(reply, "(ao)", &paths);
  const char* path = nullptr;
  while (g_variant_iter_loop(paths, "&o", &path)) {
    // A device that vanished between the two calls is simply left out.
    if (auto device = upowerDevice(path)) devices.push_back(std::move(*device));
  }
  g_variant_iter_free(paths);
  g_variant_unref(reply);
  return devices;
}

bool SystemBus::upowerOnBattery() {
  GVariant* value = getProperty(kUPowerName, kUPowerPath, kUPowerName, "OnBattery");
  const bool onBattery = onBatteryFromProperty(value);
  if (value != nullptr) g_variant_unref(value);
  return onBattery;
}

std::optional<SystemBus::ProfilesService> SystemBus::profilesService() {
  if (profiles_) return profiles_;
  // The daemon moved to UPower's namespace in later versions; older ones
  // (Debian 12) only own the original name.
  static constexpr ProfilesService kServices[] = {
      {"org.freedesktop.UPower.PowerProfiles", "/org/freedesktop/UPower/PowerProfiles",
       "org.freedesktop.UPower.PowerProfiles"},
      {"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles", "net.hadess.PowerProfiles"},
  };
  for (const ProfilesService& service : kServices) {
    GVariant* value = getProperty(service.name, service.path, service.interface, "ActiveProfile");
    if (value != nullptr) {
      g_variant_unref(value);
      profiles_ = service;
      return profiles_;
    }
  }
  return std::nullopt;
}

std::optional<std::string> SystemBus::activeProfile() {
  const auto service = profilesService();
  if (!service) return std::nullopt;
  GVariant* value = getProperty(service->name, service->path, service->interface, "ActiveProfile");
  if (value == nullptr) {
    // The daemon may have gone, or come back under the other name.
    profiles_.reset();
    return std::nullopt;
  }
  std::optional<std::string> profile;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    profile = g_variant_get_string(value, nullptr);
  }
  g_variant_unref(value);
  return profile;
}

bool SystemBus::setActiveProfile(const std::string& profile) {
  const auto service = profilesService();
  if (!service) return false;
  GVariant* reply =
      g_dbus_connection_call_sync(connection_, service->name, service->path, kProperties, "Set",
                                  g_variant_new("(ssv)", service->interface, "ActiveProfile",
                                                g_variant_new_string(profile.c_str())),
                                  nullptr, G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION,
                                  kSwitchTimeoutMs, nullptr, nullptr);
  if (reply == nullptr) return false;
  g_variant_unref(reply);
  return activeProfile() == profile;
}

}  // namespace kestrine::linux_desktop
