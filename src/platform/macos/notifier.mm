#include "platform/macos/notifier.h"

#import <Foundation/Foundation.h>

#include <string>

#include "platform/macos/ns_string.h"

namespace kestrine {

// NSUserNotification is deprecated in favour of the UserNotifications
// framework, which needs a signed bundle and an authorisation prompt before the
// first banner. Kestrine keeps the older centre, which needs neither.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"

void MacNotifier::deliver(const Notification& notification) {
  NSUserNotification* banner = [[NSUserNotification alloc] init];
  [banner setTitle:toNSString(notification.title)];
  [banner setSubtitle:toNSString(notification.subtitle)];
  [banner setInformativeText:toNSString(notification.body)];
  [banner setSoundName:NSUserNotificationDefaultSoundName];
  [[NSUserNotificationCenter defaultUserNotificationCenter] deliverNotification:banner];
}

#pragma clang diagnostic pop

}  // namespace kestrine
