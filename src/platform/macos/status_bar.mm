#include "platform/macos/status_bar.h"

#import <AppKit/AppKit.h>

#include <string>
#include <vector>

#include "platform/macos/ns_string.h"

namespace kestrine::macos {

namespace {

// The selector each action is sent under. With no target, AppKit sends it to
// the first responder that implements it: the application delegate, or for
// Quit the application itself.
SEL selectorFor(MenuAction action) {
  switch (action) {
    case MenuAction::kToggleSmartMode:
      return @selector(toggleSmartMode);
    case MenuAction::kChangeThreshold:
      return @selector(changeThreshold:);
    case MenuAction::kShowBatteryInfo:
      return @selector(showBatteryInfo);
    case MenuAction::kShowPowerMode:
      return @selector(showPowerMode);
    case MenuAction::kShowAbout:
      return @selector(showAbout);
    case MenuAction::kQuit:
      return @selector(terminate:);
  }
  return nil;
}

NSMenu* makeMenu(const std::vector<MenuItem>& items) {
  NSMenu* menu = [[NSMenu alloc] init];
  // The model decides which items are enabled; left on, AppKit would enable
  // the progress item again because the delegate answers no validation.
  [menu setAutoenablesItems:NO];
  for (const MenuItem& item : items) {
    if (item.isSeparator) {
      [menu addItem:[NSMenuItem separatorItem]];
      continue;
    }
    SEL action = item.action ? selectorFor(*item.action) : nil;
    NSMenuItem* entry = [[NSMenuItem alloc] initWithTitle:toNSString(item.title)
                                                   action:action
                                            keyEquivalent:toNSString(item.keyEquivalent)];
    [entry setTag:static_cast<NSInteger>(item.tag)];
    [entry setEnabled:item.enabled ? YES : NO];
    if (item.hasSubmenu()) [entry setSubmenu:makeMenu(item.submenu)];
    [menu addItem:entry];
  }
  return menu;
}

class MacStatusItem final : public StatusItem {
 public:
  explicit MacStatusItem(NSStatusItem* item) : item_(item) {}

  void setTitle(const std::string& title) override {
    NSStatusBarButton* button = item_.button;
    if (button != nil) [button setTitle:toNSString(title)];
  }

  void setMenu(const Menu& menu) override { [item_ setMenu:makeMenu(menu.items)]; }

 private:
  NSStatusItem* item_;
};

}  // namespace

std::unique_ptr<StatusItem> MacStatusBar::createStatusItem() {
  NSStatusItem* item =
      [[NSStatusBar systemStatusBar] statusItemWithLength:NSVariableStatusItemLength];
  return std::make_unique<MacStatusItem>(item);
}

}  // namespace kestrine::macos
