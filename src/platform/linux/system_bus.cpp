#include "platform/linux/system_bus.h"

#include <cstring>

namespace kestrine::linux_desktop {
namespace {

constexpr int kCallTimeoutMs = 5000;
constexpr const char* kUPowerName = "org.freedesktop.UPower";
constexpr const char* kUPowerPath = "/org/freedesktop/UPower";
constexpr const char* kUPowerDeviceInterface = "org.freedesktop.UPower.Device";

std::string takeError(GError* error) {
  std::string text = error != nullptr ? error->message : "unknown error";
  if (error != nullptr) g_error_free(error);
  return text;
}

// Reads a property of a GetAll answer, tolerating the integer widths that
// different daemon versions use.
template <typename T>
void readNumber(GVariant* value, T& out) {
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
    out = static_cast<T>(g_variant_get_uint32(value));
  } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) {
    out = static_cast<T>(g_variant_get_int32(value));
  } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT64)) {
    out = static_cast<T>(g_variant_get_int64(value));
  } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT64)) {
    out = static_cast<T>(g_variant_get_uint64(value));
  } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) {
    out = static_cast<T>(g_variant_get_double(value));
  }
}

}  // namespace

std::unique_ptr<SystemBus> SystemBus::connect(Address address, std::string& error) {
  GError* gerror = nullptr;
  GDBusConnection* connection = nullptr;
  if (address == Address::FixedSocket) {
    connection = g_dbus_connection_new_for_address_sync(
        kFixedSystemBusAddress,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &gerror);
  } else {
    connection = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &gerror);
  }
  if (connection == nullptr) {
    error = "cannot connect to the system bus: " + takeError(gerror);
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  return std::unique_ptr<SystemBus>(new SystemBus(connection));
}

SystemBus::~SystemBus() { g_object_unref(connection_); }

GVariant* SystemBus::getProperty(const char* name, const char* path, const char* interface,
                                 const char* property, std::string& error) {
  GError* gerror = nullptr;
  GVariant* reply =
      g_dbus_connection_call_sync(connection_, name, path, "org.freedesktop.DBus.Properties", "Get",
                                  g_variant_new("(ss)", interface, property), G_VARIANT_TYPE("(v)"),
                                  G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &gerror);
  if (reply == nullptr) {
    error = takeError(gerror);
    return nullptr;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  g_variant_unref(reply);
  return value;
}

std::optional<std::vector<UPowerDevice>> SystemBus::upowerDevices(std::string& error) {
  GError* gerror = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      connection_, kUPowerName, kUPowerPath, kUPowerName, "EnumerateDevices", nullptr,
      G_VARIANT_TYPE("(ao)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &gerror);
  if (reply == nullptr) {
    error = "UPower: " + takeError(gerror);
    return std::nullopt;
  }
  std::vector<UPowerDevice> devices;
  GVariantIter* paths = nullptr;
  g_variant_get(reply, "(ao)", &paths);
  const char* path = nullptr;
  while (g_variant_iter_loop(paths, "&o", &path)) {
    GVariant* all = g_dbus_connection_call_sync(
        connection_, kUPowerName, path, "org.freedesktop.DBus.Properties", "GetAll",
        g_variant_new("(s)", kUPowerDeviceInterface), G_VARIANT_TYPE("(a{sv})"),
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &gerror);
    if (all == nullptr) {
      // A device that vanished between the two calls is simply left out.
      g_clear_error(&gerror);
      continue;
    }
    UPowerDevice device;
    device.objectPath = path;
    GVariantIter* properties = nullptr;
    g_variant_get(all, "(a{sv})", &properties);
    const char* key = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_loop(properties, "{&sv}", &key, &value)) {
      if (std::strcmp(key, "Type") == 0) {
        readNumber(value, device.type);
      } else if (std::strcmp(key, "State") == 0) {
        readNumber(value, device.state);
      } else if (std::strcmp(key, "Percentage") == 0) {
        readNumber(value, device.percentage);
      } else if (std::strcmp(key, "TimeToEmpty") == 0) {
        readNumber(value, device.timeToEmpty);
      } else if (std::strcmp(key, "TimeToFull") == 0) {
        readNumber(value, device.timeToFull);
      } else if (std::strcmp(key, "PowerSupply") == 0 &&
                 g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
        device.powerSupply = g_variant_get_boolean(value);
      } else if (std::strcmp(key, "IsPresent") == 0 &&
                 g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
        device.isPresent = g_variant_get_boolean(value);
      }
    }
    g_variant_iter_free(properties);
    g_variant_unref(all);
    devices.push_back(std::move(device));
  }
  g_variant_iter_free(paths);
  g_variant_unref(reply);
  return devices;
}

std::optional<bool> SystemBus::upowerOnBattery(std::string& error) {
  std::string reason;
  GVariant* value = getProperty(kUPowerName, kUPowerPath, kUPowerName, "OnBattery", reason);
  if (value == nullptr) {
    error = "UPower: " + reason;
    return std::nullopt;
  }
  std::optional<bool> onBattery;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
    onBattery = g_variant_get_boolean(value);
  } else {
    error = "UPower: OnBattery is not a boolean";
  }
  g_variant_unref(value);
  return onBattery;
}

std::optional<SystemBus::ProfilesService> SystemBus::profilesService(std::string& error) {
  if (profiles_) return profiles_;
  // The daemon moved to UPower's namespace in later versions; older ones
  // (Debian 12) only own the original name.
  static constexpr ProfilesService kServices[] = {
      {"org.freedesktop.UPower.PowerProfiles", "/org/freedesktop/UPower/PowerProfiles",
       "org.freedesktop.UPower.PowerProfiles"},
      {"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles", "net.hadess.PowerProfiles"},
  };
  std::string reasons;
  for (const ProfilesService& service : kServices) {
    std::string reason;
    GVariant* value =
        getProperty(service.name, service.path, service.interface, "ActiveProfile", reason);
    if (value != nullptr) {
      g_variant_unref(value);
      profiles_ = service;
      return profiles_;
    }
    if (!reasons.empty()) reasons += "; ";
    reasons += reason;
  }
  error = "power-profiles-daemon: " + reasons;
  return std::nullopt;
}

std::optional<std::string> SystemBus::activeProfile(std::string& error) {
  const auto service = profilesService(error);
  if (!service) return std::nullopt;
  std::string reason;
  GVariant* value =
      getProperty(service->name, service->path, service->interface, "ActiveProfile", reason);
  if (value == nullptr) {
    error = "power-profiles-daemon: " + reason;
    return std::nullopt;
  }
  std::optional<std::string> profile;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    profile = g_variant_get_string(value, nullptr);
  } else {
    error = "power-profiles-daemon: ActiveProfile is not a string";
  }
  g_variant_unref(value);
  return profile;
}

bool SystemBus::setActiveProfile(const std::string& profile, std::string& error) {
  const auto service = profilesService(error);
  if (!service) return false;
  GError* gerror = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      connection_, service->name, service->path, "org.freedesktop.DBus.Properties", "Set",
      g_variant_new("(ssv)", service->interface, "ActiveProfile",
                    g_variant_new_string(profile.c_str())),
      nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &gerror);
  if (reply == nullptr) {
    error = "power-profiles-daemon: " + takeError(gerror);
    return false;
  }
  g_variant_unref(reply);
  const auto now = activeProfile(error);
  if (!now) return false;
  if (*now != profile) {
    error = "power-profiles-daemon kept the profile \"" + *now + "\"";
    return false;
  }
  return true;
}

}  // namespace kestrine::linux_desktop
