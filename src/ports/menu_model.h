#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrine {

// The operations a menu item can start. A backend hands the chosen item's
// action back unchanged; the delegate routes it to its operation. How a
// toolkit names them (selectors, signals) is the backend's business.
enum class MenuAction {
  kToggleSmartMode,
  kChangeThreshold,  // the item's tag is the new threshold
  kShowBatteryInfo,
  kShowPowerMode,
  kShowAbout,
  kQuit,
};

// A toolkit-neutral menu: the core builds it whole, a backend draws it and
// routes a chosen item back to AppDelegate::performMenuAction(action, tag).
struct MenuItem {
  // A choice the item shows as made or not: one of several (radio) or on/off.
  enum class Toggle { kNone, kCheck, kRadio };

  bool isSeparator = false;
  std::string title;
  Toggle toggle = Toggle::kNone;
  bool checked = false;
  bool enabled = true;
  std::int64_t tag = 0;
  // Absent for an item without an action.
  std::optional<MenuAction> action;
  std::string keyEquivalent;      // "q" for Quit (with the platform's command modifier)
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
