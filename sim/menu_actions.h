#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "ports/menu_model.h"

namespace kestrine::sim {

// The virtual laptop's words for the menu actions, in scenarios and in its
// log, in the order of MenuAction: the selectors the Mac's menu items send, so
// that a run reads as the Mac's would.
inline constexpr std::array<std::string_view, 6> kMenuActionWords = {
    "toggleSmartMode", "changeThreshold:", "showBatteryInfo",
    "showPowerMode",   "showAbout",        "terminate:"};

inline std::string_view menuActionWord(MenuAction action) {
  return kMenuActionWords[static_cast<std::size_t>(action)];
}

inline std::optional<MenuAction> menuActionFromWord(std::string_view word) {
  const auto found = std::find(kMenuActionWords.begin(), kMenuActionWords.end(), word);
  if (found == kMenuActionWords.end()) return std::nullopt;
  return static_cast<MenuAction>(found - kMenuActionWords.begin());
}

}  // namespace kestrine::sim
