#include "platform/macos/notifier.h"

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>
#import <UserNotifications/UserNotifications.h>

#include <string>

#include "platform/macos/ns_string.h"

namespace {

constexpr const char* kRefused =
    "Kestrine may not send notifications: allow them in System Settings > Notifications > "
    "Kestrine.";

}  // namespace

// The centre's delegate. Without it, macOS shows no banner while Kestrine is
// the active application, as it is right after one of its alerts.
@interface KestrineNotificationPresenter : NSObject <UNUserNotificationCenterDelegate>
- (instancetype)initWithConsole:(kestrine::Console*)console;
// On the main thread: says once that notifications are refused.
- (void)sayRefused;
@end

@implementation KestrineNotificationPresenter {
  // Owned by main(), which outlives the application.
  kestrine::Console* _console;
  BOOL _refusalSaid;
}

- (instancetype)initWithConsole:(kestrine::Console*)console {
  self = [super init];
  if (self != nil) _console = console;
  return self;
}

- (void)userNotificationCenter:(UNUserNotificationCenter*)center
       willPresentNotification:(UNNotification*)notification
         withCompletionHandler:(void (^)(UNNotificationPresentationOptions))completionHandler {
  completionHandler(UNNotificationPresentationOptionBanner | UNNotificationPresentationOptionList |
                    UNNotificationPresentationOptionSound);
}

- (void)sayRefused {
  if (_refusalSaid) return;
  _refusalSaid = YES;
  _console->printLine(kRefused);
}

@end

namespace kestrine::macos {

namespace {

constexpr UNAuthorizationOptions kWanted = UNAuthorizationOptionAlert | UNAuthorizationOptionSound;

// The answer to a request for permission comes on another thread; `then`
// runs there when it is granted, and a refusal is said from the main run loop,
// also while an alert is open.
void whenAuthorized(KestrineNotificationPresenter* presenter, void (^then)()) {
  [[UNUserNotificationCenter currentNotificationCenter]
      requestAuthorizationWithOptions:kWanted
                    completionHandler:^(BOOL granted, NSError* /*error*/) {
                      if (granted) {
                        if (then != nil) then();
                        return;
                      }
                      [presenter
                          performSelectorOnMainThread:@selector(sayRefused)
                                           withObject:nil
                                        waitUntilDone:NO
                                                modes:@[
                                                  NSDefaultRunLoopMode, NSModalPanelRunLoopMode
                                                ]];
                    }];
}

}  // namespace

// The centre holds its delegate weakly: this is the one strong reference.
struct MacNotifier::Presenter {
  KestrineNotificationPresenter* delegate;
};

MacNotifier::MacNotifier(Console& console)
    : presenter_(std::make_unique<Presenter>(
          Presenter{[[KestrineNotificationPresenter alloc] initWithConsole:&console]})) {
  [[UNUserNotificationCenter currentNotificationCenter] setDelegate:presenter_->delegate];
}

MacNotifier::~MacNotifier() {
  [[UNUserNotificationCenter currentNotificationCenter] setDelegate:nil];
}

void MacNotifier::requestAuthorization() { whenAuthorized(presenter_->delegate, nil); }

void MacNotifier::deliver(const Notification& notification) {
  UNMutableNotificationContent* content = [[UNMutableNotificationContent alloc] init];
  [content setTitle:toNSString(notification.title)];
  [content setSubtitle:toNSString(notification.subtitle)];
  [content setBody:toNSString(notification.body)];
  [content setSound:[UNNotificationSound defaultSound]];
  // No trigger: shown at once.
  UNNotificationRequest* request =
      [UNNotificationRequest requestWithIdentifier:[[NSUUID UUID] UUIDString]
                                           content:content
                                           trigger:nil];
  whenAuthorized(presenter_->delegate, ^{
    [[UNUserNotificationCenter currentNotificationCenter] addNotificationRequest:request
                                                           withCompletionHandler:nil];
  });
}

}  // namespace kestrine::macos
