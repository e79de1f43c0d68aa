// Proof that the backend's type check catches what it claims to. Checked as it
// is, this file must pass; checked with KESTRINE_PROBE set to one of the cases
// below, it must fail with that case's diagnostic.

#if KESTRINE_PROBE != 6  // a missing import, hidden by nothing
#import <AppKit/AppKit.h>
#endif
#include <CoreFoundation/CoreFoundation.h>
#import <Foundation/Foundation.h>
#include <IOKit/ps/IOPowerSources.h>
#include <dispatch/dispatch.h>

#include <cstdint>
#include <string>

@interface KestrineProbeTarget : NSObject
- (void)showAbout;
@end

@implementation KestrineProbeTarget
- (void)showAbout {
}
@end

void kestrineProbe(NSStatusItem* item, CFTypeRef snapshot) {
#if KESTRINE_PROBE == 1  // a selector typo in an action
  NSMenuItem* entry = [[NSMenuItem alloc] initWithTitle:@"About"
                                                 action:@selector(showAbuot)
                                          keyEquivalent:@""];
#else
  NSMenuItem* entry = [[NSMenuItem alloc] initWithTitle:@"About"
                                                 action:@selector(showAbout)
                                          keyEquivalent:@""];
#endif

#if KESTRINE_PROBE == 2  // a message no class declares
  [entry setTagg:10];
#else
  [entry setTag:10];
#endif

#if KESTRINE_PROBE == 3  // a property typo
  item.buton.title = @"x";
#else
  item.button.title = @"x";
#endif

#if KESTRINE_PROBE == 4  // a CoreFoundation value taken into ARC without a bridge
  NSArray* sources = (NSArray*)IOPSCopyPowerSourcesList(snapshot);
#else
  NSArray* sources = (__bridge_transfer NSArray*)IOPSCopyPowerSourcesList(snapshot);
#endif

#if KESTRINE_PROBE == 5  // a C++ string where an Objective-C string belongs
  [entry setTitle:std::string("About")];
#else
  [entry setTitle:@(std::string("About").c_str())];
#endif

  std::int64_t whole = 0;
#if KESTRINE_PROBE == 7  // an integer where CoreFoundation wants a CFNumberType
  CFNumberGetValue(static_cast<CFNumberRef>(snapshot), 4, &whole);
#else
  CFNumberGetValue(static_cast<CFNumberRef>(snapshot), kCFNumberSInt64Type, &whole);
#endif

  // nil for a selector argument, as the Mac's headers allow.
  [entry setAction:nil];

  [item setMenu:[[NSMenu alloc] init]];
  (void)sources;
}
