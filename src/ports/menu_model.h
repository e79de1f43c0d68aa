#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

// The action names a menu item can carry. A backend hands the chosen item's
// action back unchanged; the delegate routes it to the operation of that name.
inline constexpr std::string_view kActionToggleSmartMode = "toggleSmartMode";
inline constexpr std::string_view kActionChangeThreshold = "changeThreshold:";
inline constexpr std::string_view kActionShowBatteryInfo = "showBatteryInfo";
inline constexpr std::string_view kActionShowPowerMode = "showPowerMode";
inline constexpr std::string_view kActionShowAbout = "showAbout";
inline constexpr std::string_view kActionTerminate = "terminate:";

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
  // "toggleSmartMode", "changeThreshold:", "showBatteryInfo", "showPowerMode",
  // "showAbout" or "terminate:"; empty for an item without an action.
  std::string action;
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
