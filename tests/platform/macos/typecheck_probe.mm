// Proof that the backend's type check catches what it claims to. Checked as it
// is, this file must pass, also under the static analyzer; checked with
// KESTRINE_PROBE set to one of the cases below, it must fail with that case's
// diagnostic (8 and 10 under the analyzer).

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

  CFArrayRef list = IOPSCopyPowerSourcesList(snapshot);
#if KESTRINE_PROBE == 4  // a CoreFoundation value taken into ARC without a bridge
  NSArray* sources = (NSArray*)list;
#else
  NSArray* sources = (__bridge NSArray*)list;
#endif

#if KESTRINE_PROBE == 8  // a Get result released: the snapshot owns it
  CFRelease(IOPSGetPowerSourceDescription(snapshot, snapshot));
#elif KESTRINE_PROBE == 9   // a Get result handed to ARC, which will release it
  NSDictionary* description =
      (__bridge_transfer NSDictionary*)IOPSGetPowerSourceDescription(snapshot, snapshot);
  (void)description;
#elif KESTRINE_PROBE == 10  // a copy never released
  CFTypeRef leaked = IOPSCopyPowerSourcesInfo();
  (void)leaked;
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

#if KESTRINE_PROBE == 11  // a method only GNUstep has
  [entry setTitle:[@" About " stringByTrimmingSpaces]];
#endif

  // nil for a selector argument, as the Mac's headers allow.
  [entry setAction:nil];

  [item setMenu:[[NSMenu alloc] init]];
  (void)sources;
  if (list != nullptr) CFRelease(list);
}
