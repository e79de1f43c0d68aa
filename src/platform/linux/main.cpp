// Kestrine on a Linux desktop: GTK3 for alerts and the menu, a
// StatusNotifierItem for the tray, desktop notifications, UPower and
// power-profiles-daemon, every call to another process asynchronous.
// The command line takes --help, --version and --quit; no environment variable
// of Kestrine's own is read.
#include <glib-unix.h>
#include <glib/gi18n.h>
#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "app/command_line.h"
#include "platform/linux/alerts.h"
#include "platform/linux/clock.h"
#include "platform/linux/home_directory.h"
#include "platform/linux/instance_service.h"
#include "platform/linux/main_loop.h"
#include "platform/linux/notifications.h"
#include "platform/linux/power.h"
#include "platform/linux/status_item.h"
#include "platform/linux/translation.h"
#include "platform/linux/tray_host.h"
#include "platform/posix/console.h"
#include "storage/single_instance.h"
#include "version.h"

namespace {

// How long a second start waits to hand its notification to the bus.
constexpr std::chrono::milliseconds kNotifierGrace{1'000};

struct Termination {
  kestrine::linux_desktop::GlibMainLoop& mainLoop;
  kestrine::linux_desktop::GtkAlerts& alerts;
};

void endApplication(Termination& termination) {
  termination.mainLoop.terminate();
  // An open alert runs a loop of its own; close it so that the callback that
  // showed it returns and the main loop can end.
  termination.alerts.closeAll();
}

gboolean onTerminationSignal(gpointer data) {
  endApplication(*static_cast<Termination*>(data));
  return G_SOURCE_CONTINUE;
}

// Everything before the desktop is needed: the options that only print, and
// --quit. Returns the exit status (1 for anything that keeps Kestrine from
// starting, a wrong argument among them), or -1 to go on and start.
int runCommandLine(const kestrine::CommandLine& line, const kestrine::Wording& wording,
                   GDBusConnection* session) {
  using kestrine::Command;
  switch (line.command) {
    case Command::kHelp:
      std::fputs(kestrine::helpText(wording).c_str(), stdout);
      return 0;
    case Command::kVersion:
      std::fputs(kestrine::versionText().c_str(), stdout);
      return 0;
    case Command::kInvalid:
      std::fprintf(stderr, _("kestrine: %s (see kestrine --help)\n"), line.error.c_str());
      return 1;
    case Command::kQuit:
    case Command::kRun:
      break;
  }
  if (session == nullptr) {
    std::fputs(_("kestrine: no session D-Bus (DBUS_SESSION_BUS_ADDRESS); run Kestrine in a "
                 "desktop session\n"),
               stderr);
    return 1;
  }
  if (line.command == Command::kQuit) return kestrine::linux_desktop::quitRunningInstance(session);
  return -1;
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

// The session bus the desktop started, if there is one: the address it set,
// or the socket at $XDG_RUNTIME_DIR/bus. Without either, GLib would start a
// private bus of its own (X11 autolaunch), where no tray host or notification
// server is and from which `kestrine --quit` cannot reach this instance.
GDBusConnection* desktopSessionBus() {
  const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') {
    if (g_str_has_prefix(address, "autolaunch:")) return nullptr;
  } else {
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') return nullptr;
    g_autofree gchar* socket = g_build_filename(runtime, "bus", nullptr);
    GStatBuf info;
    if (g_stat(socket, &info) != 0 || !S_ISSOCK(info.st_mode)) return nullptr;
  }
  return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrine;
  using namespace kestrine::linux_desktop;

  openMessageCatalogues();
  const Wording wording = translatedWording();
  const CommandLine line =
      parseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc), wording);
  g_autoptr(GDBusConnection) session = nullptr;
  if (line.command == Command::kRun || line.command == Command::kQuit)
    session = desktopSessionBus();
  if (const int status = runCommandLine(line, wording, session); status >= 0) return status;

  switch (claimSingleInstance(PasswdHomeDirectory().path())) {
    case InstanceLock::heldElsewhere: {
      // Started from the applications menu, nobody reads standard error. A
      // notification server that does not answer does not hold the exit.
      DbusNotifier notifier(session);
      notifier.deliver(alreadyRunningNotification(wording));
      notifier.send(kNotifierGrace);
      return 0;
    }
    case InstanceLock::refused:
      return 0;  // as on the Mac: the line said why, and nothing is wrong with this start
    case InstanceLock::acquired:
    case InstanceLock::unavailable:
      break;
  }
  // Arguments are not handed to GTK: it has no option Kestrine offers.
  if (!initToolkitWithoutGl()) {
    std::fputs(_("kestrine: cannot open the display (DISPLAY or WAYLAND_DISPLAY); run Kestrine "
                 "in a desktop session\n"),
               stderr);
    return 1;
  }
  g_set_prgname("kestrine");
  g_set_application_name("Kestrine");

  GlibMainLoop mainLoop;
  AppIndicatorStatusBar statusBar(wording);
  GtkAlerts alerts;
  DbusNotifier notifier(session);
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
      .wording = wording,
      .notifiesFailures = true,
  };

  // A session logout or `kill` ends Kestrine like its Quit item does, also
  // while an alert is open.
  Termination termination{mainLoop, alerts};
  g_unix_signal_add(SIGTERM, onTerminationSignal, &termination);
  g_unix_signal_add(SIGINT, onTerminationSignal, &termination);
  g_unix_signal_add(SIGHUP, onTerminationSignal, &termination);
  // `kestrine --quit` ends it the same way.
  InstanceService service(session, [&termination] { endApplication(termination); });

  // Without a tray host nothing shows the item: say so once per start, and
  // keep working.
  bool toldNoHost = false;
  TrayHostWatch trayHost(session, [&](bool present) {
    statusBar.setShown(present);
    if (present || toldNoHost) return;
    toldNoHost = true;
    notifier.deliver(noStatusAreaNotification(wording));
  });

  {
    AppDelegate delegate(platform);
    // One thing at a time: a choice made while a pass waits for a daemon runs
    // after the pass. Quit does not wait: it makes the pass give up its call.
    statusBar.setActionHandler([&delegate, &mainLoop, &termination](MenuAction action,
                                                                    std::int64_t tag) {
      if (action == MenuAction::kQuit) {
        endApplication(termination);
        return;
      }
      mainLoop.runCommand([&delegate, action, tag] { delegate.performMenuAction(action, tag); });
    });
    mainLoop.callAfter(0, [&delegate] { delegate.applicationDidFinishLaunching(); });
    mainLoop.run();
    delegate.applicationWillTerminate();
    statusBar.setActionHandler(nullptr);
  }
  // Replies still queued for the session bus (the answer to the menu click
  // that chose Quit, among them) and notifications still waiting for the
  // server's capabilities would be lost with the process: send them.
  notifier.send(kNotifierGrace);
  return 0;
}
