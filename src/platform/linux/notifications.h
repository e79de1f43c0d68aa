#pragma once

#include <gio/gio.h>

#include <chrono>
#include <memory>
#include <string>

#include "ports/notifications.h"

namespace kestrine::linux_desktop {

// The notification body: the subtitle, if any, and a line feed, then the body. With a
// server that reads markup, &, < and > are escaped so that they show as text.
std::string notificationBody(const Notification& notification, bool serverReadsMarkup);

// The application's icon name in the icon theme, and its desktop entry's id.
inline constexpr const char* kAppIconName = "kestrine";
inline constexpr const char* kDesktopId = "kestrine";

// Desktop notifications through org.freedesktop.Notifications on the session
// bus, with the "message-new-instant" sound, the application's icon and its
// desktop entry. Every call is asynchronous: a server that is slow or never
// answers costs that notification and nothing else, and a missing server loses
// it silently. Whether the server reads markup is asked once, also
// asynchronously; notifications delivered before the answer wait for it.
class DbusNotifier final : public Notifier {
 public:
  // `session` may be null (no session bus): every notification is then lost.
  explicit DbusNotifier(GDBusConnection* session);
  void deliver(const Notification& notification) override;

  // For a process about to exit: runs the default context until every
  // notification delivered so far has been handed to the bus, for at most
  // `limit` (the rest go out without waiting for the server's capabilities),
  // then flushes the connection.
  void send(std::chrono::milliseconds limit);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace kestrine::linux_desktop
