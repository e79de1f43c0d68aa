#pragma once

#include <optional>
#include <string>

#include "ports/notifications.h"

namespace kestrine::linux_desktop {

// The notification body: the subtitle, if any, and a line feed, then the body. With a
// server that reads markup, &, < and > are escaped so that they show as text.
std::string notificationBody(const Notification& notification, bool serverReadsMarkup);

// The application's icon name in the icon theme, and its desktop entry's id.
inline constexpr const char* kAppIconName = "kestrine";
inline constexpr const char* kDesktopId = "kestrine";

// Desktop notifications through libnotify (org.freedesktop.Notifications),
// with the "message-new-instant" sound, the application's icon and its
// desktop entry. A missing notification server loses
// the notification silently.
class LibnotifyNotifier final : public Notifier {
 public:
  LibnotifyNotifier();
  ~LibnotifyNotifier() override;
  void deliver(const Notification& notification) override;

 private:
  bool serverReadsMarkup();
  std::optional<bool> markup_;
};

}  // namespace kestrine::linux_desktop
