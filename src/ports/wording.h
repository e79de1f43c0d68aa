#pragma once

#include <array>
#include <string_view>

#include "version.h"

namespace kestrine {

// How a platform's texts name the things they speak of. The defaults are the
// Mac's; a desktop with other names for them passes its own table.
struct Wording {
  std::string_view machine = "Mac";          // "all data stays on your Mac"
  std::string_view statusArea = "menu bar";  // "active in your menu bar"
  // The automatic, low and high power modes, in that order, as "Current Power
  // Mode" and the status summary name them.
  std::array<std::string_view, 3> powerModes = {"Automatic", "Low Power Mode", "High Power Mode"};
  // Whether a chosen menu entry says so with "✓ " in its title. Without, the
  // backend shows each entry's check state as the toolkit's own check or radio
  // item, which screen readers announce.
  bool checkMarksInTitles = true;
  // About's closing line: the Mac's own; the Linux build names the holder of
  // the licence, as the package's copyright file does.
  std::string_view copyright = "\u00A9 2026 Kestrine";
};

// power-profiles-daemon's profiles as the Linux desktops show them, and the panel.
inline constexpr Wording kLinuxWording{
    .machine = "computer",
    .statusArea = "panel",
    .powerModes = {"Balanced", "Power Saver", "Performance"},
    .checkMarksInTitles = false,
    .copyright = "\u00A9 " KESTRINE_COPYRIGHT,
};

}  // namespace kestrine
