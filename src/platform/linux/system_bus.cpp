#include "platform/linux/system_bus.h"

#include <cstring>
#include <utility>

namespace kestrine::linux_desktop {
namespace {

constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kUPowerName = "org.freedesktop.UPower";
constexpr const char* kUPowerPath = "/org/freedesktop/UPower";
constexpr const char* kUPowerDeviceInterface = "org.freedesktop.UPower.Device";

// A call's answer. Shared with the reply callback, which may run after the
// caller gave up (then the late reply is freed with it).
struct PendingCall {
  GDBusConnection* connection;  // held: a call may end after its SystemBus
  GVariant* reply = nullptr;
  GError* error = nullptr;
  bool done = false;
  explicit PendingCall(GDBusConnection* bus) : connection(G_DBUS_CONNECTION(g_object_ref(bus))) {}
  PendingCall(const PendingCall&) = delete;
  PendingCall& operator=(const PendingCall&) = delete;
  ~PendingCall() {
    if (reply != nullptr) g_variant_unref(reply);
    if (error != nullptr) g_error_free(error);
    g_object_unref(connection);
  }
};

// The connection is the call's own: on a closed connection GDBus answers with
// no source object.
void onReply(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::shared_ptr<PendingCall>> pending(
      static_cast<std::shared_ptr<PendingCall>*>(data));
  (*pending)->reply =
      g_dbus_connection_call_finish((*pending)->connection, result, &(*pending)->error);
  (*pending)->done = true;
}

// A connection being made; shared with its callback, which may come after the
// caller gave up.
struct PendingConnection {
  GDBusConnection* connection = nullptr;
  GError* error = nullptr;
  bool done = false;
  PendingConnection() = default;
  PendingConnection(const PendingConnection&) = delete;
  PendingConnection& operator=(const PendingConnection&) = delete;
  ~PendingConnection() {
    if (connection != nullptr) g_object_unref(connection);
    if (error != nullptr) g_error_free(error);
  }
};

void onConnected(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::shared_ptr<PendingConnection>> pending(
      static_cast<std::shared_ptr<PendingConnection>*>(data));
  (*pending)->connection = g_dbus_connection_new_for_address_finish(result, &(*pending)->error);
  (*pending)->done = true;
}

gboolean onLate(gpointer late) {
  *static_cast<bool*>(late) = true;
  return G_SOURCE_REMOVE;
}

}  // namespace

// A connection of its own rather than GLib's shared one: after a bus restart
// the shared one stays closed for as long as anything still holds it, and a
// new one is wanted at once. Connecting is awaited like a call, for at most a
// reading's time.
std::shared_ptr<SystemBus> SystemBus::connect(WaitForAnswer wait, ReportError report) {
  g_autoptr(GError) error = nullptr;
  g_autofree gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (address == nullptr) {
    report("connecting to the system bus", "", error->message);
    return nullptr;
  }
  auto pending = std::make_shared<PendingConnection>();
  g_autoptr(GCancellable) cancellable = g_cancellable_new();
  g_dbus_connection_new_for_address(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancellable, onConnected, new std::shared_ptr<PendingConnection>(pending));
  bool late = false;
  const guint timer = g_timeout_add(static_cast<guint>(kReadTimeout.count()), onLate, &late);
  wait([&] { return pending->done || late; });
  if (!late) g_source_remove(timer);
  if (!pending->done) {
    g_cancellable_cancel(cancellable);
    if (late) report("connecting to the system bus", "", "no answer");
    return nullptr;
  }
  GDBusConnection* connection = std::exchange(pending->connection, nullptr);
  if (connection == nullptr) {
    report("connecting to the system bus", "", pending->error->message);
    return nullptr;
  }
  // A restarted system bus must not end the application.
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  return std::shared_ptr<SystemBus>(new SystemBus(connection, std::move(wait), std::move(report)));
}

SystemBus::SystemBus(GDBusConnection* connection, WaitForAnswer wait, ReportError report)
    : connection_(connection),
      wait_(std::move(wait)),
      report_(std::move(report)),
      // The daemon moved to UPower's namespace in later versions; older ones
      // (Debian 12) only own the original name.
      profiles_{
          {"org.freedesktop.UPower.PowerProfiles", "/org/freedesktop/UPower/PowerProfiles",
           "org.freedesktop.UPower.PowerProfiles"},
          {"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles", "net.hadess.PowerProfiles"}} {
  for (ProfilesService& service : profiles_) {
    service.watch =
        g_bus_watch_name_on_connection(connection_, service.name, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                       onNameAppeared, onNameVanished, this, nullptr);
  }
}

SystemBus::~SystemBus() {
  for (ProfilesService& service : profiles_) g_bus_unwatch_name(service.watch);
  g_dbus_connection_close(connection_, nullptr, nullptr, nullptr);
  g_object_unref(connection_);
}

GVariant* SystemBus::call(const char* name, const char* path, const char* interface,
                          const char* method, GVariant* parameters, const GVariantType* replyType,
                          GDBusCallFlags flags, Deadline deadline) {
  lastErrorName_.clear();
  lastTimedOut_ = false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
  if (left <= 0) {
    if (parameters != nullptr) g_variant_unref(g_variant_ref_sink(parameters));
    lastTimedOut_ = true;
    return nullptr;
  }
  auto pending = std::make_shared<PendingCall>(connection_);
  g_autoptr(GCancellable) cancellable = g_cancellable_new();
  g_dbus_connection_call(connection_, name, path, interface, method, parameters, replyType, flags,
                         static_cast<int>(left), cancellable, onReply,
                         new std::shared_ptr<PendingCall>(pending));
  if (!wait_([&pending] { return pending->done; })) {
    g_cancellable_cancel(cancellable);
    return nullptr;
  }
  if (const GError* error = pending->error) {
    g_autofree gchar* remote = g_dbus_error_get_remote_error(error);
    lastErrorName_ = remote != nullptr ? remote : "";
    lastTimedOut_ = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
    g_autoptr(GError) plain = g_error_copy(error);
    g_dbus_error_strip_remote_error(plain);
    report_(std::string(interface) + "." + method + " on " + name, lastErrorName_, plain->message);
  }
  return std::exchange(pending->reply, nullptr);
}

GVariant* SystemBus::getProperty(const char* name, const char* path, const char* interface,
                                 const char* property, Deadline deadline) {
  g_autoptr(GVariant) reply =
      call(name, path, kProperties, "Get", g_variant_new("(ss)", interface, property),
           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, deadline);
  if (reply == nullptr) return nullptr;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  return value;
}

std::optional<UPowerDevice> SystemBus::upowerDevice(const char* path, Deadline deadline) {
  g_autoptr(GVariant) all =
      call(kUPowerName, path, kProperties, "GetAll", g_variant_new("(s)", kUPowerDeviceInterface),
           G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, deadline);
  if (all == nullptr) return std::nullopt;
  g_autoptr(GVariant) properties = g_variant_get_child_value(all, 0);
  UPowerDevice device = deviceFromProperties(properties);
  device.objectPath = path;
  return device;
}

std::optional<std::vector<UPowerDevice>> SystemBus::upowerDevices(Deadline deadline) {
  g_autoptr(GVariant) reply =
      call(kUPowerName, kUPowerPath, kUPowerName, "EnumerateDevices", nullptr,
           G_VARIANT_TYPE("(ao)"), G_DBUS_CALL_FLAGS_NONE, deadline);
  if (reply == nullptr) return std::nullopt;
  std::vector<UPowerDevice> devices;
  g_autoptr(GVariantIter) paths = nullptr;
  g_variant_get(reply, "(ao)", &paths);
  const char* path = nullptr;
  while (g_variant_iter_loop(paths, "&o", &path)) {
    // A device that vanished between the two calls is simply left out.
    if (auto device = upowerDevice(path, deadline)) devices.push_back(std::move(*device));
  }
  return devices;
}

bool SystemBus::upowerOnBattery(Deadline deadline) {
  g_autoptr(GVariant) value =
      getProperty(kUPowerName, kUPowerPath, kUPowerName, "OnBattery", deadline);
  return onBatteryFromProperty(value);
}

void SystemBus::onNameAppeared(GDBusConnection*, const gchar* name, const gchar*, gpointer self) {
  static_cast<SystemBus*>(self)->nameOwnerChanged(name, true);
}

void SystemBus::onNameVanished(GDBusConnection*, const gchar* name, gpointer self) {
  static_cast<SystemBus*>(self)->nameOwnerChanged(name, false);
}

void SystemBus::nameOwnerChanged(const gchar* name, bool owned) {
  for (ProfilesService& service : profiles_) {
    if (std::strcmp(service.name, name) == 0) {
      service.reported = true;
      service.owned = owned;
    }
  }
}

const SystemBus::ProfilesService* SystemBus::profilesService() {
  auto reported = [this] { return profiles_[0].reported && profiles_[1].reported; };
  if (!reported()) {
    // The watches report in moments after connecting; a bus that does not
    // answer them counts as a reading that timed out.
    bool late = false;
    const guint timer = g_timeout_add(static_cast<guint>(kReadTimeout.count()), onLate, &late);
    wait_([&] { return reported() || late; });
    if (!late) g_source_remove(timer);
  }
  for (const ProfilesService& service : profiles_) {
    if (service.owned) return &service;
  }
  return nullptr;
}

bool SystemBus::profilesServiceMissing() {
  return profilesService() == nullptr && profiles_[0].reported && profiles_[1].reported;
}

std::optional<std::string> SystemBus::activeProfile(Deadline deadline) {
  const ProfilesService* service = profilesService();
  if (service == nullptr) return std::nullopt;
  g_autoptr(GVariant) value =
      getProperty(service->name, service->path, service->interface, "ActiveProfile", deadline);
  if (value == nullptr) return std::nullopt;
  std::optional<std::string> profile;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    profile = g_variant_get_string(value, nullptr);
  }
  return profile;
}

std::optional<SwitchFailure> SystemBus::setActiveProfile(const std::string& profile) {
  const ProfilesService* service = profilesService();
  if (service == nullptr) return SwitchFailure::kNoService;
  g_autoptr(GVariant) reply = call(service->name, service->path, kProperties, "Set",
                                   g_variant_new("(ssv)", service->interface, "ActiveProfile",
                                                 g_variant_new_string(profile.c_str())),
                                   nullptr, G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION,
                                   std::chrono::steady_clock::now() + kSwitchTimeout);
  if (reply == nullptr) return switchFailureFromError(lastErrorName_, lastTimedOut_);
  if (activeProfile(readingDeadline()) == profile) return std::nullopt;
  // Accepted but not in force: a daemon that answers yet does not switch.
  return lastTimedOut_ ? SwitchFailure::kNoAnswer : SwitchFailure::kRefused;
}

}  // namespace kestrine::linux_desktop
