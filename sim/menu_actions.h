#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "ports/menu_model.h"

namespace kestrine::sim {

// The virtual laptop's words for the menu actions, in scenarios and in its
// log: the selectors the Mac's menu items send, so that a run reads as the
// Mac's would.
inline constexpr std::array<std::pair<MenuAction, std::string_view>, 6> kMenuActionWords = {{
    {MenuAction::kToggleSmartMode, "toggleSmartMode"},
    {MenuAction::kChangeThreshold, "changeThreshold:"},
    {MenuAction::kShowBatteryInfo, "showBatteryInfo"},
    {MenuAction::kShowPowerMode, "showPowerMode"},
    {MenuAction::kShowAbout, "showAbout"},
    {MenuAction::kQuit, "terminate:"},
}};

inline std::string_view menuActionWord(MenuAction action) {
  for (const auto& [known, word] : kMenuActionWords) {
    if (known == action) return word;
  }
  return {};
}

inline std::optional<MenuAction> menuActionFromWord(std::string_view word) {
  for (const auto& [action, known] : kMenuActionWords) {
    if (known == word) return action;
  }
  return std::nullopt;
}

}  // namespace kestrine::sim
