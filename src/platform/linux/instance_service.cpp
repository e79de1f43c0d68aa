#include "platform/linux/instance_service.h"

#include <glib/gi18n.h>

#include <cstdio>

namespace kestrine::linux_desktop {
namespace {

constexpr const char* kName = "org.kestrine.Kestrine";
constexpr const char* kPath = "/org/kestrine/Kestrine";
constexpr const char* kInterfaceXml =
    "<node><interface name='org.kestrine.Kestrine'><method name='Quit'/></interface></node>";
constexpr guint kQuitWaitSeconds = 10;

gboolean setFlag(gpointer flag) {
  *static_cast<bool*>(flag) = true;
  return G_SOURCE_REMOVE;
}

void onNameGone(GDBusConnection*, const gchar*, gpointer gone) { setFlag(gone); }

}  // namespace

InstanceService::InstanceService(GDBusConnection* session, std::function<void()> quit)
    : session_(session), quit_(std::move(quit)) {
  g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(kInterfaceXml, nullptr);
  static const GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
  object_ = g_dbus_connection_register_object(session_, kPath, node->interfaces[0], &vtable, this,
                                              nullptr, nullptr);
  name_ = g_bus_own_name_on_connection(session_, kName, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                       nullptr, nullptr, nullptr, nullptr);
}

InstanceService::~InstanceService() {
  g_bus_unown_name(name_);
  if (object_ != 0) g_dbus_connection_unregister_object(session_, object_);
}

void InstanceService::onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar*, GVariant*, GDBusMethodInvocation* invocation,
                             gpointer self) {
  // Answered first: the caller learns that the request arrived, then waits
  // for the name to go.
  g_dbus_method_invocation_return_value(invocation, nullptr);
  static_cast<InstanceService*>(self)->quit_();
}

int quitRunningInstance(GDBusConnection* session) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      session, kName, kPath, kName, "Quit", nullptr, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
      static_cast<int>(kQuitWaitSeconds) * 1000, nullptr, &error);
  if (reply == nullptr) {
    const bool none = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
    if (none) {
      std::fputs(_("kestrine: Kestrine is not running\n"), stderr);
    } else {
      std::fprintf(stderr, _("kestrine: the running Kestrine did not answer: %s\n"),
                   error->message);
    }
    return 1;
  }
  // Wait for the name to go, so that a start right after finds no instance.
  bool gone = false;
  bool late = false;
  const guint watch = g_bus_watch_name_on_connection(session, kName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                     nullptr, onNameGone, &gone, nullptr);
  const guint timeout = g_timeout_add_seconds(kQuitWaitSeconds, setFlag, &late);
  while (!gone && !late) g_main_context_iteration(nullptr, TRUE);
  g_bus_unwatch_name(watch);
  if (!late) g_source_remove(timeout);
  if (!gone) {
    std::fputs(_("kestrine: the running Kestrine did not quit within 10 seconds\n"), stderr);
    return 1;
  }
  return 0;
}

}  // namespace kestrine::linux_desktop
