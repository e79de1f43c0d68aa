#include "platform/macos/notifier.h"

#import <Foundation/Foundation.h>

#include <string>

#include "platform/macos/ns_string.h"

// NSUserNotification is deprecated in favour of the UserNotifications
// framework, which needs a signed bundle and an authorisation prompt before the
// first banner. Kestrine keeps the older centre, which needs neither.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"

// Without a delegate that says yes, the centre shows no banner while Kestrine
// is the active application, as it is right after one of its alerts.
@interface KestrineNotificationPresenter : NSObject <NSUserNotificationCenterDelegate>
@end

@implementation KestrineNotificationPresenter
- (BOOL)userNotificationCenter:(NSUserNotificationCenter*)center
     shouldPresentNotification:(NSUserNotification*)notification {
  return YES;
}
@end

namespace kestrine {

// The centre holds its delegate weakly: this is the one strong reference.
struct MacNotifier::Presenter {
  KestrineNotificationPresenter* delegate = [[KestrineNotificationPresenter alloc] init];
};

MacNotifier::MacNotifier() : presenter_(std::make_unique<Presenter>()) {
  [[NSUserNotificationCenter defaultUserNotificationCenter] setDelegate:presenter_->delegate];
}

MacNotifier::~MacNotifier() {
  [[NSUserNotificationCenter defaultUserNotificationCenter] setDelegate:nil];
}

void MacNotifier::deliver(const Notification& notification) {
  NSUserNotification* banner = [[NSUserNotification alloc] init];
  [banner setTitle:toNSString(notification.title)];
  [banner setSubtitle:toNSString(notification.subtitle)];
  [banner setInformativeText:toNSString(notification.body)];
  [banner setSoundName:NSUserNotificationDefaultSoundName];
  [[NSUserNotificationCenter defaultUserNotificationCenter] deliverNotification:banner];
}

}  // namespace kestrine

#pragma clang diagnostic pop
