// The Linux power port and the tray watch against daemons served from this
// process on a private bus (GTestDBus): which devices are read, a daemon that
// never answers, a bus that restarts, and a tray host that registers late.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fake/recording_notifier.h"
#include "platform/linux/power.h"
#include "platform/linux/tray_host.h"

namespace kestrine::linux_desktop {
namespace {

#define KESTRINE_PROPERTY(name, type) "<property name='" name "' type='" type "' access='read'/>"
constexpr const char* kIntrospection =
    "<node><interface name='org.freedesktop.UPower'><method name='EnumerateDevices'><arg "
    "type='ao' direction='out'/></method>" KESTRINE_PROPERTY("OnBattery", "b") "</interface>"
    "<interface name='org.freedesktop.UPower.Device'>" KESTRINE_PROPERTY("Type", "u")
        KESTRINE_PROPERTY("IsPresent", "b") KESTRINE_PROPERTY("PowerSupply", "b")
            KESTRINE_PROPERTY("Percentage", "d") KESTRINE_PROPERTY("Energy", "d")
                KESTRINE_PROPERTY("EnergyFull", "d") "</interface>"
    "<interface name='net.hadess.PowerProfiles'><property name='ActiveProfile' type='s' "
    "access='readwrite'/></interface><interface name='org.kde.StatusNotifierWatcher'>" KESTRINE_PROPERTY(
        "IsStatusNotifierHostRegistered", "b") "</interface></node>";
constexpr const char* kDevices = "/org/freedesktop/UPower/devices/";
constexpr const char* kProfiles = "/net/hadess/PowerProfiles";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";

// UPower and power-profiles-daemon, each object's properties an a{sv} in
// GVariant's text form. The properties are left to onCall, which answers Get,
// GetAll and Set itself, or, hung, never.
class Daemons {
 public:
  explicit Daemons(const char* address)
      : connection_(g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr)),
        node_(g_dbus_node_info_new_for_xml(kIntrospection, nullptr)) {
    serve("/org/freedesktop/UPower", 0, "{'OnBattery': <true>}");
    serve(kProfiles, 2, "{'ActiveProfile': <'balanced'>}");
    serve(kWatcherPath, 3, "{'IsStatusNotifierHostRegistered': <false>}");
    for (const char* name :
         {"org.freedesktop.UPower", "net.hadess.PowerProfiles", "org.kde.StatusNotifierWatcher"}) {
      g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
          connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", name, 4u), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
          nullptr, nullptr);
    }
  }
  ~Daemons() {
    for (GDBusMethodInvocation* call : unanswered_) g_object_unref(call);
    for (auto& [path, properties] : objects_) g_variant_unref(properties);
    g_dbus_node_info_unref(node_);
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
  }

  void device(const std::string& name, const std::string& properties) {
    serve(kDevices + name, 1, properties);
    if (name != "DisplayDevice") devices_.push_back(kDevices + name);
  }
  // A panel's tray registers with the watcher, which says so.
  void registerHost() {
    g_variant_unref(objects_[kWatcherPath]);
    objects_[kWatcherPath] =
        g_variant_ref_sink(g_variant_new_parsed("{'IsStatusNotifierHostRegistered': <true>}"));
    g_dbus_connection_emit_signal(connection_, nullptr, kWatcherPath,
                                  "org.kde.StatusNotifierWatcher", "StatusNotifierHostRegistered",
                                  nullptr, nullptr);
  }
  GDBusConnection* connection() const { return connection_; }
  std::vector<std::string> calls;
  bool hung = false;

 private:
  void serve(const std::string& path, int interface, const std::string& properties) {
    static const GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
    objects_[path] =
        g_variant_parse(G_VARIANT_TYPE("a{sv}"), properties.c_str(), nullptr, nullptr, nullptr);
    g_dbus_connection_register_object(connection_, path.c_str(), node_->interfaces[interface],
                                      &vtable, this, nullptr, nullptr);
  }

  static void onCall(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                     const gchar* method, GVariant* parameters, GDBusMethodInvocation* call,
                     gpointer data) {
    auto& self = *static_cast<Daemons*>(data);
    const std::string name = method;
    self.calls.push_back(name);
    GVariant*& properties = self.objects_[path];
    if (self.hung) {
      self.unanswered_.push_back(call);
    } else if (name == "EnumerateDevices") {
      std::vector<const char*> paths;
      for (const std::string& device : self.devices_) paths.push_back(device.c_str());
      g_dbus_method_invocation_return_value(
          call, g_variant_new("(@ao)", g_variant_new_objv(paths.data(), paths.size())));
    } else if (name == "GetAll") {
      g_dbus_method_invocation_return_value(call, g_variant_new("(@a{sv})", properties));
    } else if (name == "Get") {
      const gchar* property = nullptr;
      g_variant_get(parameters, "(&s&s)", nullptr, &property);
      g_autoptr(GVariant) value = g_variant_lookup_value(properties, property, nullptr);
      g_dbus_method_invocation_return_value(call, g_variant_new("(v)", value));
    } else {  // Set, of the one writable property
      g_autoptr(GVariant) value = nullptr;
      g_variant_get(parameters, "(&s&sv)", nullptr, nullptr, &value);
      g_variant_unref(properties);
      properties = g_variant_new_parsed("{'ActiveProfile': %v}", value);
      g_variant_ref_sink(properties);
      g_dbus_method_invocation_return_value(call, nullptr);
    }
  }

  GDBusConnection* connection_;
  GDBusNodeInfo* node_;
  std::map<std::string, GVariant*> objects_;
  std::vector<std::string> devices_;
  std::vector<GDBusMethodInvocation*> unanswered_;
};

std::string battery(const char* percentage, const char* more = "") {
  return std::string(
             "{'Type': <uint32 2>, 'PowerSupply': <true>, 'IsPresent': <true>, "
             "'Percentage': <") +
         percentage + ">" + more + "}";
}

class PowerPortTest : public ::testing::Test {
 protected:
  void SetUp() override { up(); }
  void TearDown() override { down(); }
  void up() {
    bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus_);
    g_setenv("DBUS_SYSTEM_BUS_ADDRESS", g_test_dbus_get_bus_address(bus_), TRUE);
    daemons_ = std::make_unique<Daemons>(g_test_dbus_get_bus_address(bus_));
  }
  void down() {
    daemons_.reset();
    g_test_dbus_down(bus_);
    g_object_unref(bus_);
  }

  GTestDBus* bus_ = nullptr;
  std::unique_ptr<Daemons> daemons_;
  fake::RecordingNotifier notifier_;
  SystemBusPower power_{[](const std::function<bool()>& answered) {
                          while (!answered()) g_main_context_iteration(nullptr, TRUE);
                          return true;
                        },
                        notifier_};
};

// Then the bus restarts: the next readings connect again.
TEST_F(PowerPortTest, DisplayDeviceElseEnumeratedBatteriesAndABusThatRestarts) {
  daemons_->device("DisplayDevice",
                   "{'Type': <uint32 2>, 'IsPresent': <true>, 'Percentage': <42.0>}");
  daemons_->device("battery_BAT0", battery("80.0"));
  EXPECT_EQ(power_.getBatteryLevel(), 42);
  EXPECT_EQ(daemons_->calls, std::vector<std::string>{"GetAll"});

  // No display device: two batteries by energy (6 + 30 of 200), not the mouse.
  daemons_.reset();
  daemons_ = std::make_unique<Daemons>(g_test_dbus_get_bus_address(bus_));
  daemons_->device("battery_BAT0", battery("6.0", ", 'Energy': <6.0>, 'EnergyFull': <100.0>"));
  daemons_->device("mouse_0", "{'Type': <uint32 5>, 'Percentage': <1.0>}");
  daemons_->device("battery_BAT1", battery("30.0", ", 'Energy': <30.0>, 'EnergyFull': <100.0>"));
  EXPECT_EQ(power_.getBatteryLevel(), 18);

  down();
  up();
  daemons_->device("DisplayDevice", battery("40.0"));
  std::optional<std::int64_t> level;
  for (int reading = 0; reading < 3 && !level; ++reading) level = power_.getBatteryLevel();
  EXPECT_EQ(level, 40);
}

TEST_F(PowerPortTest, ASwitchThatIsNeverAnsweredFailsAsNoAnswerAndIsPrintedOnce) {
  daemons_->device("DisplayDevice", battery("15.0"));
  ASSERT_EQ(power_.getPowerMode(), PowerMode::kAutomatic);
  daemons_->hung = true;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(power_.setPowerMode(PowerMode::kLowPower));  // gives up after kSwitchTimeout
  EXPECT_EQ(power_.lastSwitchFailure(), SwitchFailure::kNoAnswer);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "kestrine: org.freedesktop.DBus.Properties.Set on net.hadess.PowerProfiles: "
            "no D-Bus error name: Timeout was reached\n");

  daemons_->hung = false;
  EXPECT_TRUE(power_.setPowerMode(PowerMode::kLowPower));
  EXPECT_EQ(power_.lastSwitchFailure(), std::nullopt);
}

// The watcher is there at the start, the host only later: both first asks
// (at once, and as the watcher is seen) are answered before it registers.
TEST_F(PowerPortTest, TheTrayWatchTellsAHostThatRegistersAfterTheWatcher) {
  std::vector<bool> told;
  TrayHostWatch watch(daemons_->connection(), [&told](bool present) { told.push_back(present); });
  const auto waitFor = [](const std::function<bool()>& done) {
    for (gint64 end = g_get_monotonic_time() + 5'000'000; !done() && g_get_monotonic_time() < end;)
      g_main_context_iteration(nullptr, FALSE);
  };
  const auto& calls = daemons_->calls;
  waitFor([&] { return told.size() == 1 && std::count(calls.begin(), calls.end(), "Get") == 2; });
  daemons_->registerHost();
  waitFor([&] { return told.size() == 2; });
  EXPECT_EQ(told, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace kestrine::linux_desktop
