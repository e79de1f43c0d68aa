#include "platform/linux/tray_host.h"

#include <cstring>

namespace kestrine::linux_desktop {
namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr int kAskTimeoutMs = 2000;

GVariant* askArguments() {
  return g_variant_new("(ss)", kWatcher, "IsStatusNotifierHostRegistered");
}

// The property's value from a Get reply; false for an error or another type.
bool hostRegistered(GVariant* reply) {
  if (reply == nullptr) return false;
  g_autoptr(GVariant) value = nullptr;
  g_variant_get(reply, "(v)", &value);
  return g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
}

}  // namespace

TrayHostWatch::TrayHostWatch(GDBusConnection* session, std::function<void(bool)> changed)
    : session_(session), changed_(std::move(changed)), cancellable_(g_cancellable_new()) {
  // Asked at once, without waiting: the answer comes within moments, before
  // the launch message a second after launch, unless the watcher is hung.
  ask();
  watch_ = g_bus_watch_name_on_connection(session_, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                          onAppeared, onVanished, this, nullptr);
  subscription_ = g_dbus_connection_signal_subscribe(
      session_, nullptr, kWatcher, nullptr, kWatcherPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      onWatcherSignal, this, nullptr);
}

TrayHostWatch::~TrayHostWatch() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  g_dbus_connection_signal_unsubscribe(session_, subscription_);
  g_bus_unwatch_name(watch_);
}

void TrayHostWatch::onAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self) {
  static_cast<TrayHostWatch*>(self)->ask();
}

void TrayHostWatch::onVanished(GDBusConnection*, const gchar*, gpointer self) {
  static_cast<TrayHostWatch*>(self)->set(false);
}

void TrayHostWatch::onWatcherSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                    const gchar* member, GVariant*, gpointer self) {
  if (std::strncmp(member, "StatusNotifierHost", 18) == 0) static_cast<TrayHostWatch*>(self)->ask();
}

void TrayHostWatch::ask() {
  g_dbus_connection_call(session_, kWatcher, kWatcherPath, "org.freedesktop.DBus.Properties", "Get",
                         askArguments(), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                         kAskTimeoutMs, cancellable_, onAnswer, this);
}

void TrayHostWatch::onAnswer(GObject* source, GAsyncResult* result, gpointer self) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply =
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;  // the watch is gone
  static_cast<TrayHostWatch*>(self)->set(hostRegistered(reply));
}

void TrayHostWatch::set(bool present) {
  if (answered_ && present == present_) return;
  answered_ = true;
  present_ = present;
  changed_(present_);
}

}  // namespace kestrine::linux_desktop
