// Kestrine on a Linux desktop: GTK3 for alerts and the menu, a
// StatusNotifierItem for the tray, libnotify, UPower and power-profiles-daemon.
// No argument and no environment variable of Kestrine's own is read.
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <string>

#include "app/app_delegate.h"
#include "platform/linux/alerts.h"
#include "platform/linux/clock.h"
#include "platform/linux/console.h"
#include "platform/linux/home_directory.h"
#include "platform/linux/main_loop.h"
#include "platform/linux/notifications.h"
#include "platform/linux/power.h"
#include "platform/linux/status_item.h"
#include "storage/single_instance.h"

namespace {

struct Termination {
  kestrine::linux_desktop::GlibMainLoop& mainLoop;
  kestrine::linux_desktop::GtkAlerts& alerts;
};

gboolean onTerminationSignal(gpointer data) {
  auto* termination = static_cast<Termination*>(data);
  termination->mainLoop.terminate();
  // An open alert runs a loop of its own; close it so that the callback that
  // showed it returns and the main loop can end.
  termination->alerts.closeAll();
  return G_SOURCE_CONTINUE;
}

// Opening an X11 display, GDK asks the GL driver which visuals suit GL
// drawing; with Mesa that loads its whole driver stack (tens of megabytes,
// LLVM among them) for the life of the process. Kestrine draws nothing with GL,
// so GDK is told to leave GL alone while it starts; GDK reads the setting only
// then, and the previous value is put back so that nothing else sees it.
bool initToolkitWithoutGl() {
  const char* previous = g_getenv("GDK_GL");
  const std::string saved = previous != nullptr ? previous : "";
  g_setenv("GDK_GL", "disable", TRUE);
  const bool ok = gtk_init_check(nullptr, nullptr) != FALSE;
  if (previous != nullptr) {
    g_setenv("GDK_GL", saved.c_str(), TRUE);
  } else {
    g_unsetenv("GDK_GL");
  }
  return ok;
}

gboolean onLaunched(gpointer data) {
  static_cast<kestrine::AppDelegate*>(data)->applicationDidFinishLaunching();
  return G_SOURCE_REMOVE;
}

}  // namespace

int main() {
  using namespace kestrine;
  using namespace kestrine::linux_desktop;

  if (!claimSingleInstance()) return 0;
  // Arguments are not handed to GTK: Kestrine reads none.
  if (!initToolkitWithoutGl()) return 1;
  g_set_prgname("kestrine");
  g_set_application_name("Kestrine");

  GlibMainLoop mainLoop;
  AppIndicatorStatusBar statusBar;
  GtkAlerts alerts;
  LibnotifyNotifier notifier;
  SystemClock clock;
  PasswdHomeDirectory home;
  SystemBusPower power(
      [&mainLoop](const std::function<bool()>& answered) { return mainLoop.waitUntil(answered); },
      notifier);
  StdoutConsole console;
  Platform platform{
      .statusBar = statusBar,
      .alerts = alerts,
      .notifier = notifier,
      .mainLoop = mainLoop,
      .power = power,
      .clock = clock,
      .home = home,
      .console = console,
      .machineName = "computer",
  };

  // A session logout or `kill` ends Kestrine like its Quit item does, also
  // while an alert is open.
  Termination termination{mainLoop, alerts};
  g_unix_signal_add(SIGTERM, onTerminationSignal, &termination);
  g_unix_signal_add(SIGINT, onTerminationSignal, &termination);
  g_unix_signal_add(SIGHUP, onTerminationSignal, &termination);

  // Replies still queued for the session bus (the answer to the menu click
  // that chose Quit, among them) would be lost with the process: they are sent
  // at the end. The connection is held from here, since the status item holds
  // the only other reference and drops it with the delegate, which would close
  // the connection with its queue unsent.
  g_autoptr(GDBusConnection) session = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  {
    AppDelegate delegate(platform);
    statusBar.setActionHandler([&delegate](const std::string& action, std::int64_t tag) {
      delegate.performMenuAction(action, tag);
    });
    g_idle_add(onLaunched, &delegate);
    mainLoop.run();
    delegate.applicationWillTerminate();
    statusBar.setActionHandler(nullptr);
  }
  if (session != nullptr) g_dbus_connection_flush_sync(session, nullptr, nullptr);
  return 0;
}
