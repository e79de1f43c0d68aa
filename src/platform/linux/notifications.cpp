#include "platform/linux/notifications.h"

#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "ui/markup.h"

namespace kestrine::linux_desktop {

namespace {

constexpr const char* kName = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

}  // namespace

std::string notificationBody(const Notification& notification, bool serverReadsMarkup) {
  const std::string text = notification.subtitle.empty()
                               ? notification.body
                               : notification.subtitle + "\n" + notification.body;
  if (!serverReadsMarkup) return text;
  return escapeMarkup(text);
}

// Shared with the calls in flight, which may answer after the notifier is gone.
struct DbusNotifier::State {
  GDBusConnection* session = nullptr;
  std::optional<bool> markup;  // unknown until the server has answered
  bool asking = false;
  std::vector<Notification> waiting;  // for the answer about markup
  ~State() {
    if (session != nullptr) g_object_unref(session);
  }

  void notify(const Notification& notification) {
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    // The server finds the application (its name, icon and settings) by its desktop entry.
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(kDesktopId));
    g_variant_builder_add(&hints, "{sv}", "sound-name",
                          g_variant_new_string("message-new-instant"));
    g_variant_builder_add(&hints, "{sv}", "suppress-sound", g_variant_new_boolean(FALSE));
    const std::string body = notificationBody(notification, markup.value_or(false));
    const gchar* const noActions[] = {nullptr};
    // No callback: nobody waits for the answer, and a server that never gives
    // one only leaves this call pending until the bus's time-out.
    g_dbus_connection_call(
        session, kName, kPath, kName, "Notify",
        g_variant_new("(susss^asa{sv}i)", "Kestrine", 0u, kAppIconName, notification.title.c_str(),
                      body.c_str(), noActions, &hints, -1),
        nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  }

  void sendWaiting() {
    for (const Notification& notification : std::exchange(waiting, {})) notify(notification);
  }
};

namespace {

void onCapabilities(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::shared_ptr<DbusNotifier::State>> held(
      static_cast<std::shared_ptr<DbusNotifier::State>*>(data));
  DbusNotifier::State& state = **held;
  state.asking = false;
  g_autoptr(GVariant) reply =
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
  if (reply != nullptr) {
    g_autoptr(GVariantIter) caps = nullptr;
    g_variant_get(reply, "(as)", &caps);
    bool markup = false;
    const char* cap = nullptr;
    while (g_variant_iter_loop(caps, "&s", &cap)) {
      if (std::strcmp(cap, "body-markup") == 0) markup = true;
    }
    state.markup = markup;
  }
  // No server yet, or it did not answer: these go out as plain text, and the
  // next notification asks again.
  state.sendWaiting();
}

}  // namespace

DbusNotifier::DbusNotifier(GDBusConnection* session) : state_(std::make_shared<State>()) {
  if (session != nullptr) state_->session = G_DBUS_CONNECTION(g_object_ref(session));
}

void DbusNotifier::deliver(const Notification& notification) {
  State& state = *state_;
  if (state.session == nullptr) return;
  if (state.markup) {
    state.notify(notification);
    return;
  }
  state.waiting.push_back(notification);
  if (state.asking) return;
  state.asking = true;
  g_dbus_connection_call(state.session, kName, kPath, kName, "GetCapabilities", nullptr,
                         G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                         onCapabilities, new std::shared_ptr<State>(state_));
}

void DbusNotifier::send(std::chrono::milliseconds limit) {
  State& state = *state_;
  if (state.session == nullptr) return;
  const gint64 end = g_get_monotonic_time() + limit.count() * 1000;
  while (!state.waiting.empty() && g_get_monotonic_time() < end) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  state.sendWaiting();
  g_dbus_connection_flush_sync(state.session, nullptr, nullptr);
}

}  // namespace kestrine::linux_desktop
