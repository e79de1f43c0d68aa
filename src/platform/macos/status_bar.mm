#include "platform/macos/status_bar.h"

#import <AppKit/AppKit.h>

#include <string>
#include <vector>

#include "platform/macos/ns_string.h"

namespace kestrine {

namespace {

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
    // The core's action names are selector names; with no target, AppKit sends
    // the selector to the first responder that implements it.
    SEL action = item.action.empty() ? nil : NSSelectorFromString(toNSString(item.action));
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

  bool hasButton() const override { return item_.button != nil; }

  void setTitle(const std::string& title) override {
    NSStatusBarButton* button = item_.button;
    if (button != nil) [button setTitle:toNSString(title)];
  }

  void setMenu(const Menu& menu) override { [item_ setMenu:makeMenu(menu.items)]; }

 private:
  NSStatusItem* item_;
};

}  // namespace

void MacStatusBar::setAccessoryActivationPolicy() {
  [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];
}

std::unique_ptr<StatusItem> MacStatusBar::createStatusItem() {
  NSStatusItem* item =
      [[NSStatusBar systemStatusBar] statusItemWithLength:NSVariableStatusItemLength];
  return std::make_unique<MacStatusItem>(item);
}

}  // namespace kestrine
