// Read before every file of the macOS backend when it is type-checked against
// GNUstep's Foundation and AppKit. Declares, with the Apple SDK's signatures,
// what GNUstep lacks or spells differently, so that code written for the SDK
// compiles unchanged. Nothing here is ever linked.
#pragma once

#ifdef __OBJC__

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

// The SDK gives every status item a button (macOS 10.10); GNUstep's items have
// a title of their own instead.
@interface NSStatusItem (KestrineAppleSDK)
@property(readonly, strong) NSStatusBarButton* button;
@end

// macOS 10.6; GNUstep has the policy type on NSRunningApplication only.
@interface NSApplication (KestrineAppleSDK)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
@end

#endif  // __OBJC__

// The SDK's nil is nullptr in C++, so it converts to SEL and to any pointer;
// GNUstep's plain 0 is not accepted for SEL arguments under -Werror.
#if defined(__cplusplus)
#undef nil
#define nil nullptr
#endif
