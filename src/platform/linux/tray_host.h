#pragma once

#include <gio/gio.h>

#include <functional>

namespace kestrine::linux_desktop {

// Whether a StatusNotifier host (a panel's tray) is there to show the item:
// asked of org.kde.StatusNotifierWatcher (IsStatusNotifierHostRegistered) at
// construction, and again whenever the watcher appears or goes or a host
// registers or leaves. No watcher means no host.
class TrayHostWatch {
 public:
  // `changed` is told the first answer (asked without waiting at
  // construction) and each change after it, from the main loop.
  TrayHostWatch(GDBusConnection* session, std::function<void(bool hostPresent)> changed);
  ~TrayHostWatch();
  TrayHostWatch(const TrayHostWatch&) = delete;
  TrayHostWatch& operator=(const TrayHostWatch&) = delete;

 private:
  static void onAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
  static void onVanished(GDBusConnection*, const gchar*, gpointer self);
  static void onWatcherSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                              const gchar*, GVariant*, gpointer self);
  static void onAnswer(GObject* source, GAsyncResult* result, gpointer self);
  void ask();
  void set(bool present);

  GDBusConnection* session_;
  std::function<void(bool)> changed_;
  GCancellable* cancellable_;
  guint watch_ = 0;
  guint subscription_ = 0;
  bool present_ = false;
  bool answered_ = false;  // the first answer is always told
};

}  // namespace kestrine::linux_desktop
