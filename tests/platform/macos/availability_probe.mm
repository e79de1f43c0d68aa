// Proof that the Apple pass of the backend's type check holds the code to the
// deployment target. Checked as it is for that target, this file must pass;
// for macOS 10.12, or with KESTRINE_PROBE set, it must fail.
#import <AppKit/AppKit.h>

#include <charconv>

int kestrineAvailabilityProbe(char* out, double value) {
#if KESTRINE_PROBE == 1  // an AppKit method newer than the deployment target, unguarded
  [NSApp activate];
#endif
  // std::to_chars for a double needs macOS 13.3.
  return static_cast<int>(std::to_chars(out, out + 32, value).ptr - out);
}
