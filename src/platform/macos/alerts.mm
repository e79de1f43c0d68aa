#include "platform/macos/alerts.h"

#import <AppKit/AppKit.h>

#include <string>

#include "platform/macos/ns_string.h"

namespace kestrine::macos {

int MacAlerts::runModal(const Alert& alert) {
  if (alert.bringToFront) {
    if (@available(macOS 14.0, *)) {
      [NSApp activate];
    } else {
      [NSApp activateIgnoringOtherApps:YES];
    }
  }
  NSAlert* box = [[NSAlert alloc] init];
  [box setMessageText:toNSString(alert.title)];
  [box setInformativeText:toNSString(alert.body)];
  for (const std::string& button : alert.buttons) [box addButtonWithTitle:toNSString(button)];
  if (alert.bringToFront) {
    // Under cooperative activation (macOS 14) activating is only a request; a
    // floating window stays above other applications' windows even when it is
    // refused. The window exists once the alert is laid out.
    [box layout];
    [[box window] setLevel:NSFloatingWindowLevel];
  }
  // NSAlertFirstButtonReturn is 1000 and NSAlertSecondButtonReturn 1001, the
  // answers the port promises.
  NSModalResponse answer = [box runModal];
  return static_cast<int>(answer);
}

}  // namespace kestrine::macos
