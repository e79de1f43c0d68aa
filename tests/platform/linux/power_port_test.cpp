// The Linux power port against daemons served from this process on a private
// bus (GTestDBus) that stands for the system bus: which devices are read, a
// daemon that never answers, a refusal, and a bus that restarts.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/power.h"

namespace kestrine::linux_desktop {
namespace {

constexpr const char* kIntrospection = R"(<node>
<interface name='org.freedesktop.UPower'>
  <method name='EnumerateDevices'><arg type='ao' direction='out'/></method>
  <property name='OnBattery' type='b' access='read'/></interface>
<interface name='org.freedesktop.UPower.Device'>
  <property name='Type' type='u' access='read'/>
  <property name='PowerSupply' type='b' access='read'/>
  <property name='IsPresent' type='b' access='read'/>
  <property name='Percentage' type='d' access='read'/>
  <property name='Energy' type='d' access='read'/>
  <property name='EnergyFull' type='d' access='read'/></interface>
<interface name='net.hadess.PowerProfiles'>
  <property name='ActiveProfile' type='s' access='readwrite'/></interface>
</node>)";
constexpr const char* kDevices = "/org/freedesktop/UPower/devices/";

// UPower and power-profiles-daemon with their properties in a table. With
// the properties left to method_call, it answers Get, GetAll and Set itself,
// or never.
class Daemons {
 public:
  using Properties = std::map<std::string, GVariant*>;

  explicit Daemons(const char* address) {
    connection_ = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    node_ = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    serve("/org/freedesktop/UPower", 0, {{"OnBattery", g_variant_new_boolean(TRUE)}});
    serve("/net/hadess/PowerProfiles", 2, {{"ActiveProfile", g_variant_new_string("balanced")}});
    for (const char* name : {"org.freedesktop.UPower", "net.hadess.PowerProfiles"}) {
      g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
          connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", name, 4u), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
          nullptr, nullptr);
    }
  }
  ~Daemons() {
    for (GDBusMethodInvocation* call : unanswered_) g_object_unref(call);
    for (auto& [path, properties] : objects_)
      for (auto& [name, value] : properties) g_variant_unref(value);
    g_dbus_node_info_unref(node_);
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
  }

  void device(const std::string& name, double percentage, std::uint32_t type = 2,
              bool present = true, double energy = 0) {
    Properties properties{{"Type", g_variant_new_uint32(type)},
                          {"PowerSupply", g_variant_new_boolean(type == 2)},
                          {"IsPresent", g_variant_new_boolean(present)},
                          {"Percentage", g_variant_new_double(percentage)}};
    if (energy > 0) {
      properties["Energy"] = g_variant_new_double(energy);
      properties["EnergyFull"] = g_variant_new_double(100);
    }
    serve(kDevices + name, 1, properties);
    if (name != "DisplayDevice") devices_.push_back(kDevices + name);
  }
  std::string profile() {
    return g_variant_get_string(objects_["/net/hadess/PowerProfiles"]["ActiveProfile"], nullptr);
  }
  bool called(const std::string& method) const {
    return std::find(calls_.begin(), calls_.end(), method) != calls_.end();
  }

  bool hung = false;             // no answer to anything
  const char* refuse = nullptr;  // the error every Set answers

 private:
  void serve(const std::string& path, int interface, Properties properties) {
    static const GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
    objects_[path] = std::move(properties);
    for (auto& [name, value] : objects_[path]) g_variant_ref_sink(value);
    g_dbus_connection_register_object(connection_, path.c_str(), node_->interfaces[interface],
                                      &vtable, this, nullptr, nullptr);
  }

  static void onCall(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                     const gchar* method, GVariant* parameters, GDBusMethodInvocation* call,
                     gpointer data) {
    auto& self = *static_cast<Daemons*>(data);
    self.calls_.emplace_back(method);
    if (self.hung) {
      self.unanswered_.push_back(call);
      return;
    }
    Properties& properties = self.objects_[path];
    const std::string name = method;
    if (name == "EnumerateDevices") {
      std::vector<const char*> paths;
      for (const std::string& device : self.devices_) paths.push_back(device.c_str());
      g_dbus_method_invocation_return_value(
          call, g_variant_new("(@ao)", g_variant_new_objv(paths.data(), paths.size())));
    } else if (name == "GetAll") {
      GVariantBuilder all;
      g_variant_builder_init(&all, G_VARIANT_TYPE("a{sv}"));
      for (auto& [key, value] : properties) g_variant_builder_add(&all, "{sv}", key.c_str(), value);
      g_dbus_method_invocation_return_value(call, g_variant_new("(a{sv})", &all));
    } else if (name == "Get") {
      const gchar* property = nullptr;
      g_variant_get(parameters, "(&s&s)", nullptr, &property);
      g_dbus_method_invocation_return_value(call, g_variant_new("(v)", properties[property]));
    } else if (self.refuse != nullptr) {
      g_dbus_method_invocation_return_dbus_error(call, self.refuse, "Not Authorized");
    } else {
      GVariant* value = nullptr;
      g_variant_get(parameters, "(&s&sv)", nullptr, nullptr, &value);
      g_variant_unref(std::exchange(properties["ActiveProfile"], value));
      g_dbus_method_invocation_return_value(call, nullptr);
    }
  }

  GDBusConnection* connection_;
  GDBusNodeInfo* node_;
  std::map<std::string, Properties> objects_;
  std::vector<std::string> devices_;
  std::vector<std::string> calls_;
  std::vector<GDBusMethodInvocation*> unanswered_;
};

struct CountingNotifier : Notifier {
  void deliver(const Notification&) override { ++delivered; }
  int delivered = 0;
};

class PowerPortTest : public ::testing::Test {
 protected:
  void SetUp() override { up(); }
  void TearDown() override {
    daemons_.reset();
    g_test_dbus_down(bus_);
    g_object_unref(bus_);
  }
  void up() {
    bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus_);
    g_setenv("DBUS_SYSTEM_BUS_ADDRESS", g_test_dbus_get_bus_address(bus_), TRUE);
    daemons_ = std::make_unique<Daemons>(g_test_dbus_get_bus_address(bus_));
  }
  Daemons& daemons() { return *daemons_; }

  GTestDBus* bus_ = nullptr;
  std::unique_ptr<Daemons> daemons_;
  CountingNotifier notifier_;
  SystemBusPower power_{[](const std::function<bool()>& answered) {
                          while (!answered()) g_main_context_iteration(nullptr, TRUE);
                          return true;
                        },
                        notifier_};
};

TEST_F(PowerPortTest, TheDisplayDeviceDecidesAloneElseTheBatteriesAreEnumerated) {
  daemons().device("DisplayDevice", 42);
  daemons().device("battery_BAT0", 80);
  EXPECT_EQ(power_.getBatteryLevel(), 42);
  EXPECT_FALSE(daemons().called("EnumerateDevices"));

  // Without a display device: two batteries by energy (6 + 30 of 200), never
  // the mouse or the empty bay.
  daemons_.reset();
  daemons_ = std::make_unique<Daemons>(g_test_dbus_get_bus_address(bus_));
  daemons().device("battery_BAT0", 6, 2, true, 6);
  daemons().device("mouse_0", 1, 5);
  daemons().device("battery_BAT1", 30, 2, true, 30);
  daemons().device("battery_BAT2", 0, 2, false);
  EXPECT_EQ(power_.getBatteryLevel(), 18);
  EXPECT_TRUE(daemons().called("EnumerateDevices"));
  EXPECT_TRUE(power_.isOnBattery());
  EXPECT_EQ(notifier_.delivered, 0) << "the daemon is there";
}

TEST_F(PowerPortTest, ARefusalAndADaemonThatNeverAnswersAreFailuresWithTheirReason) {
  daemons().device("DisplayDevice", 15);
  ASSERT_EQ(power_.getPowerMode(), PowerMode::kAutomatic);
  daemons().refuse = "org.freedesktop.DBus.Error.AccessDenied";
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(power_.setPowerMode(PowerMode::kLowPower));
  EXPECT_FALSE(power_.setPowerMode(PowerMode::kLowPower));
  EXPECT_EQ(power_.lastSwitchFailure(), SwitchFailure::kNotAllowed);
  daemons().hung = true;
  EXPECT_FALSE(power_.setPowerMode(PowerMode::kLowPower));  // gives up after kSwitchTimeout
  EXPECT_EQ(power_.lastSwitchFailure(), SwitchFailure::kNoAnswer);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed,
            "kestrine: org.freedesktop.DBus.Properties.Set on net.hadess.PowerProfiles: "
            "org.freedesktop.DBus.Error.AccessDenied: Not Authorized\n"
            "kestrine: org.freedesktop.DBus.Properties.Set on net.hadess.PowerProfiles: "
            "no D-Bus error name: Timeout was reached\n")
      << "each distinct error once";
  EXPECT_EQ(daemons().profile(), "balanced");

  daemons().hung = false;
  daemons().refuse = nullptr;
  EXPECT_TRUE(power_.setPowerMode(PowerMode::kLowPower));
  EXPECT_EQ(daemons().profile(), "power-saver");
  EXPECT_EQ(power_.lastSwitchFailure(), std::nullopt);
}

TEST_F(PowerPortTest, ABusThatRestartsIsConnectedToAgain) {
  daemons().device("DisplayDevice", 50);
  ASSERT_EQ(power_.getBatteryLevel(), 50);
  daemons_.reset();
  g_test_dbus_down(bus_);
  g_object_unref(bus_);
  up();
  daemons().device("DisplayDevice", 40);
  std::optional<std::int64_t> level;
  for (int reading = 0; reading < 3 && !level; ++reading) level = power_.getBatteryLevel();
  EXPECT_EQ(level, 40);
}

}  // namespace
}  // namespace kestrine::linux_desktop
