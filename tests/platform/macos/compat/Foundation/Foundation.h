// GNUstep's Foundation with the Apple SDK's nil. Only files that import
// Foundation (or AppKit, which imports it) see it, as on the Mac.
#pragma once
// Like the headers it wraps, a system header: #include_next is allowed.
#pragma clang system_header

#include_next <Foundation/Foundation.h>

// The SDK's nil is nullptr in C++, so it converts to SEL and to any pointer;
// GNUstep's plain 0 is not accepted for SEL arguments under -Werror.
#if defined(__cplusplus)
#undef nil
#define nil nullptr
#endif

// A timer's tolerance (macOS 10.9), which GNUstep's NSTimer lacks.
@interface NSTimer (KestrineAppleSDK)
@property NSTimeInterval tolerance;
@end
