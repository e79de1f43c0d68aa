// Process entry of Kestrine.app: the ports, the core's delegate, and the
// Objective-C application delegate that AppKit talks to.

#import <AppKit/AppKit.h>

#include <cstdint>

#include "app/app_delegate.h"
#include "mac_power/power_control.h"
#include "mac_power/sudoers_setup.h"
#include "mac_power/system_tools.h"
#include "platform/macos/alerts.h"
#include "platform/macos/clock.h"
#include "platform/macos/home_directory.h"
#include "platform/macos/login_item.h"
#include "platform/macos/main_loop.h"
#include "platform/macos/notifier.h"
#include "platform/macos/power_sources.h"
#include "platform/macos/status_bar.h"
#include "platform/macos/user_name.h"
#include "platform/posix/console.h"
#include "platform/posix/tool_runner.h"
#include "ports/platform.h"
#include "storage/single_instance.h"

// Forwards AppKit's application callbacks and the menu actions to the core.
// The menu items have no target, so AppKit's action dispatch ends here, at the
// application's delegate, under the selectors status_bar.mm gives the items.
@interface KestrineApplicationDelegate : NSObject <NSApplicationDelegate, KestrineMenuActions>
- (instancetype)initWithDelegate:(kestrine::AppDelegate*)delegate;
@end

namespace {

// A plain function rather than a method, so that the menu actions and the
// application callbacks stay the only selectors the delegate answers.
void performMenuAction(kestrine::AppDelegate* delegate, kestrine::MenuAction action,
                       NSInteger tag = 0) {
  delegate->performMenuAction(action, static_cast<std::int64_t>(tag));
}

}  // namespace

@implementation KestrineApplicationDelegate {
  // Owned by main(), which outlives the event loop.
  kestrine::AppDelegate* _delegate;
}

- (instancetype)initWithDelegate:(kestrine::AppDelegate*)delegate {
  self = [super init];
  if (self != nil) _delegate = delegate;
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  // No Dock icon and no application menus: the status item is the whole interface.
  [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];
  _delegate->applicationDidFinishLaunching();
}

- (void)applicationWillTerminate:(NSNotification*)notification {
  _delegate->applicationWillTerminate();
}

- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)application {
  return YES;
}

// Opening Kestrine again while it runs (Finder, Spotlight, `open`) shows the
// launch message: there is no window to bring back.
- (BOOL)applicationShouldHandleReopen:(NSApplication*)application hasVisibleWindows:(BOOL)flag {
  _delegate->applicationShouldHandleReopen();
  return NO;
}

- (void)toggleSmartMode {
  performMenuAction(_delegate, kestrine::MenuAction::kToggleSmartMode);
}

- (void)changeThreshold:(NSMenuItem*)sender {
  performMenuAction(_delegate, kestrine::MenuAction::kChangeThreshold, [sender tag]);
}

- (void)showBatteryInfo {
  performMenuAction(_delegate, kestrine::MenuAction::kShowBatteryInfo);
}

- (void)showPowerMode {
  performMenuAction(_delegate, kestrine::MenuAction::kShowPowerMode);
}

- (void)showAbout {
  performMenuAction(_delegate, kestrine::MenuAction::kShowAbout);
}

@end

int main() {
  if (!kestrine::mayStart(
          kestrine::claimSingleInstance(kestrine::macos::MacHomeDirectory().path())))
    return 0;
  @autoreleasepool {
    NSApplication* application = [NSApplication sharedApplication];

    // Everything lives in main()'s frame for the whole run: -[NSApplication
    // terminate:] ends the process with exit(), so none of it is torn down
    // while a callback could still reach it.
    kestrine::StdoutConsole console;
    kestrine::macos::MacStatusBar statusBar;
    kestrine::macos::MacAlerts alerts;
    kestrine::macos::MacNotifier notifier(console);
    kestrine::macos::MacMainLoop mainLoop;
    kestrine::PosixToolRunner tools;
    kestrine::macos::MacPowerSources powerSources;
    const kestrine::macos::MacClock clock;
    const kestrine::macos::MacHomeDirectory home;
    const kestrine::macos::MacUserName user;
    kestrine::PowerControl power(tools, powerSources, kestrine::macSystemTools());
    // After the first successful setup: start at login, and ask to notify
    // while the user is at the Mac.
    kestrine::SudoersSetup setup(tools, user, kestrine::macSystemTools(),
                                 kestrine::SetupFollowUp{
                                     .home = home.path(),
                                     .console = &console,
                                     .registerLoginItem = &kestrine::macos::registerMainAppAtLogin,
                                     .afterSetup = [&notifier] { notifier.requestAuthorization(); },
                                 });
    kestrine::Platform platform{
        .statusBar = statusBar,
        .alerts = alerts,
        .notifier = notifier,
        .mainLoop = mainLoop,
        .power = power,
        .clock = clock,
        .home = home,
        .console = console,
        .oneTimeSetup = &setup,
    };
    kestrine::AppDelegate delegate(platform);

    // A windowless agent is what App Nap naps: its timers may then fire far
    // later than asked, and a check every 30 s could wait for minutes. An
    // activity for the whole run keeps the timer on time; idle sleep stays
    // allowed (docs/macos.md, "App Nap").
    __attribute__((objc_precise_lifetime)) id<NSObject> activity = [[NSProcessInfo processInfo]
        beginActivityWithOptions:NSActivityUserInitiatedAllowingIdleSystemSleep
                          reason:@"Checks the battery every 30 seconds"];

    // NSApplication holds its delegate weakly, so this is the only strong
    // reference. Under ARC a plain local may be released right after its last
    // use, here setDelegate:, which would leave the application without a
    // delegate in an optimised build; precise lifetime keeps it until the end
    // of the scope, which -run never reaches.
    __attribute__((objc_precise_lifetime)) KestrineApplicationDelegate* applicationDelegate =
        [[KestrineApplicationDelegate alloc] initWithDelegate:&delegate];
    [application setDelegate:applicationDelegate];
    [application run];
    [[NSProcessInfo processInfo] endActivity:activity];
  }
  return 0;
}
