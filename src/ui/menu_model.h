#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// A toolkit-neutral menu: the core builds it whole, a backend draws it and
// routes a chosen item back to AppDelegate::performMenuAction(action, tag).
struct MenuItem {
  bool isSeparator = false;
  std::string title;
  bool enabled = true;
  std::int64_t tag = 0;
  // "toggleSmartMode", "changeThreshold:", "showBatteryInfo", "showPowerMode",
  // "showAbout" or "terminate:"; empty for an item without an action.
  std::string action;
  std::string keyEquivalent;     // "q" for Quit (with the platform's command modifier)
  std::vector<MenuItem> submenu;  // empty: no submenu

  bool hasSubmenu() const { return !submenu.empty(); }
  static MenuItem separator() {
    MenuItem item;
    item.isSeparator = true;
    return item;
  }
  bool operator==(const MenuItem&) const = default;
};

struct Menu {
  std::vector<MenuItem> items;
  bool operator==(const Menu&) const = default;
};

}  // namespace kestrine
