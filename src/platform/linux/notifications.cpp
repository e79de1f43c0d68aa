#include "platform/linux/notifications.h"

#include <libnotify/notify.h>

#include <cstring>

#include "ui/markup.h"

namespace kestrine::linux_desktop {

std::string notificationBody(const Notification& notification, bool serverReadsMarkup) {
  const std::string text = notification.subtitle.empty()
                               ? notification.body
                               : notification.subtitle + "\n" + notification.body;
  if (!serverReadsMarkup) return text;
  return escapeMarkup(text);
}

LibnotifyNotifier::LibnotifyNotifier() { notify_init("Kestrine"); }

LibnotifyNotifier::~LibnotifyNotifier() {
  if (notify_is_initted()) notify_uninit();
}

bool LibnotifyNotifier::serverReadsMarkup() {
  if (!markup_) {
    bool markup = false;
    GList* caps = notify_get_server_caps();
    if (caps == nullptr) return false;  // no server yet: ask again next time
    for (GList* cap = caps; cap != nullptr; cap = cap->next) {
      if (std::strcmp(static_cast<const char*>(cap->data), "body-markup") == 0) markup = true;
    }
    g_list_free_full(caps, g_free);
    markup_ = markup;
  }
  return *markup_;
}

void LibnotifyNotifier::deliver(const Notification& notification) {
  if (!notify_is_initted() && !notify_init("Kestrine")) return;
  const std::string body = notificationBody(notification, serverReadsMarkup());
  NotifyNotification* shown =
      notify_notification_new(notification.title.c_str(), body.c_str(), kAppIconName);
  // The server finds the application (its name, icon and settings) by its desktop entry.
  notify_notification_set_hint(shown, "desktop-entry", g_variant_new_string(kDesktopId));
  notify_notification_set_hint(shown, "sound-name", g_variant_new_string("message-new-instant"));
  notify_notification_set_hint(shown, "suppress-sound", g_variant_new_boolean(FALSE));
  // No server, or it refused: the notification is lost, as the port allows.
  g_autoptr(GError) error = nullptr;
  notify_notification_show(shown, &error);
  g_object_unref(shown);
}

}  // namespace kestrine::linux_desktop
