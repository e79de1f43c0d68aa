#pragma once

#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/upower_devices.h"

namespace kestrine::linux_desktop {

// Runs the application's loop until `answered()` holds; false when the
// application is ending and the caller should give up.
using WaitForAnswer = std::function<bool(const std::function<bool()>& answered)>;

// Told about every call that failed (not one given up): what was called, the
// D-Bus error's name (empty for an error of GLib's own, a time-out) and its message.
using ReportError = std::function<void(const std::string& call, const std::string& errorName,
                                       const std::string& message)>;

// Calls to UPower and power-profiles-daemon on the system bus. Each call is
// sent asynchronously and its answer awaited through WaitForAnswer, so the
// application's loop keeps running while a daemon is slow. Failures, time-outs
// and calls given up come back as absent or false, never as an exception; each
// failure is also handed to ReportError with its reason.
class SystemBus {
 public:
  // A whole reading (every call it makes) gives up after this long.
  static constexpr std::chrono::milliseconds kReadTimeout{3'000};
  // The daemon asks polkit without letting it interact with the user, so an
  // answer comes within moments; a daemon that does not answer by then is
  // hung, and the next pass tries again.
  static constexpr std::chrono::milliseconds kSwitchTimeout{5'000};
  using Deadline = std::chrono::steady_clock::time_point;
  static Deadline readingDeadline() { return std::chrono::steady_clock::now() + kReadTimeout; }

  // The system bus connection; absent when there is none.
  // (DBUS_SYSTEM_BUS_ADDRESS names another one, a test's, as for any program.)
  static std::shared_ptr<SystemBus> connect(WaitForAnswer wait, ReportError report);
  ~SystemBus();
  SystemBus(const SystemBus&) = delete;
  SystemBus& operator=(const SystemBus&) = delete;

  // True once the bus has gone (a restarted system bus); connect again then.
  bool isClosed() const { return g_dbus_connection_is_closed(connection_) != FALSE; }

  // One UPower device's properties; absent when it cannot be read.
  std::optional<UPowerDevice> upowerDevice(const char* path, Deadline deadline);
  // UPower's devices, in the order of EnumerateDevices.
  std::optional<std::vector<UPowerDevice>> upowerDevices(Deadline deadline);
  // UPower's OnBattery; false when it cannot be read.
  bool upowerOnBattery(Deadline deadline);

  // Whether power-profiles-daemon owns neither of its bus names, once the bus
  // has said so for both; false while that is not known yet.
  bool profilesServiceMissing();
  // power-profiles-daemon's ActiveProfile ("power-saver", "balanced", "performance").
  std::optional<std::string> activeProfile(Deadline deadline);
  // Sets ActiveProfile: nothing when reading it back gives `profile`, else why
  // the switch failed.
  std::optional<SwitchFailure> setActiveProfile(const std::string& profile);

 private:
  SystemBus(GDBusConnection* connection, WaitForAnswer wait, ReportError report);
  // One call, its reply or null; no call is made once the deadline has passed.
  GVariant* call(const char* name, const char* path, const char* interface, const char* method,
                 GVariant* parameters, const GVariantType* replyType, GDBusCallFlags flags,
                 Deadline deadline);
  GVariant* getProperty(const char* name, const char* path, const char* interface,
                        const char* property, Deadline deadline);

  // The daemon's two bus names, watched for their owners.
  struct ProfilesService {
    const char* name;
    const char* path;
    const char* interface;
    guint watch = 0;
    bool reported = false;
    bool owned = false;
  };
  static void onNameAppeared(GDBusConnection*, const gchar* name, const gchar*, gpointer self);
  static void onNameVanished(GDBusConnection*, const gchar* name, gpointer self);
  void nameOwnerChanged(const gchar* name, bool owned);
  // The first of the names that has an owner, once both have been reported
  // (awaited for at most a reading's time).
  const ProfilesService* profilesService();

  GDBusConnection* connection_;
  WaitForAnswer wait_;
  ReportError report_;
  // The last call's failure: its D-Bus error name and whether it timed out.
  std::string lastErrorName_;
  bool lastTimedOut_ = false;
  ProfilesService profiles_[2];
};

}  // namespace kestrine::linux_desktop
