// GNUstep's AppKit plus what the Apple SDK's AppKit has and GNUstep lacks or
// spells differently, with the SDK's signatures, so that code written for the
// SDK compiles unchanged. Only files that import AppKit see any of it, as on
// the Mac. Nothing here is ever linked.
#pragma once
// Like the headers it wraps, a system header: #include_next is allowed.
#pragma clang system_header

#include_next <AppKit/AppKit.h>

// GNUstep declares the application delegate's protocol among its own
// internals, which its Apple API leaves out; the SDK's, with the callbacks the
// backend implements.
@protocol NSApplicationDelegate <NSObject>
@optional
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
- (void)applicationWillTerminate:(NSNotification*)notification;
- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)app
    __attribute__((availability(macos, introduced = 12.0)));
- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag;
@end

// The SDK gives every status item a button (macOS 10.10); GNUstep's items have
// a title of their own instead.
@interface NSStatusItem (KestrineAppleSDK)
@property(readonly, strong) NSStatusBarButton* button;
@end

// -setActivationPolicy: is macOS 10.6 (GNUstep has the policy type on
// NSRunningApplication only); -activate is macOS 14's replacement for
// -activateIgnoringOtherApps:.
@interface NSApplication (KestrineAppleSDK)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
- (void)activate __attribute__((availability(macos, introduced = 14.0)));
@end

// The SDK's alert lays itself out on request (macOS 10.5) and gives its window
// as an NSWindow; GNUstep's has no -layout and answers -window with an id.
@interface NSAlert (KestrineAppleSDK)
- (void)layout;
@property(readonly, strong) NSWindow* window;
@end
