#pragma once

#import <AppKit/AppKit.h>

#include <memory>

#include "ports/status_item.h"

// The messages the status menu's items send, one per menu action (Quit sends
// "terminate:", which NSApplication answers). The application delegate
// adopts it, so the compiler holds it to every one.
@protocol KestrineMenuActions
- (void)toggleSmartMode;
- (void)changeThreshold:(NSMenuItem*)sender;
- (void)showBatteryInfo;
- (void)showPowerMode;
- (void)showAbout;
@end

namespace kestrine::macos {

// The system status bar through AppKit: a status item whose button carries
// the title and whose menu is drawn from the core's menu model. Menu items get
// no target, so AppKit's action dispatch carries each choice along the
// responder chain to the application delegate (or, for "terminate:", to the
// application itself).
class MacStatusBar final : public StatusBar {
 public:
  std::unique_ptr<StatusItem> createStatusItem() override;
};

}  // namespace kestrine::macos
