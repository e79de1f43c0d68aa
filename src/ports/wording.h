#pragma once

#include <array>
#include <string_view>

#include "version.h"

namespace kestrine {

// A notification's texts as patterns (see fillIn). A desktop that shows the
// title alone in a collapsed banner gets a title that stands on its own and a
// body that adds the rest, with no subtitle between them.
struct NoticeWording {
  std::string_view title;
  std::string_view subtitle;
  std::string_view body;
};

// How a platform's texts name the things they speak of, and the texts whose
// words differ between platforms, as patterns: "%d" and "%s" take the next
// value, "%2$d" the second, "%%" is a percent sign. The defaults are the Mac's;
// a desktop with other names for them passes its own table.
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

  // The status summary's parts, joined by " · " (see statusSummary).
  std::string_view summaryLevel = "Battery %d %%";
  std::string_view summaryThreshold = "switches at %d %%";

  // Notifications. Their values: the level and the threshold; the reason a
  // check pass gives; the threshold; days learnt and minutes aimed at; days
  // learnt; the threshold; the kept file's path.
  NoticeWording thresholdSwitch = {"Kestrine", "Battery at %1$d%%",
                                   "Low Power Mode enabled (threshold: %2$d%%)"};
  NoticeWording automaticSwitch = {"Kestrine", "%s", "Low Power Mode enabled automatically"};
  NoticeWording thresholdUpdated = {"Kestrine", "Threshold Updated",
                                    "Low Power Mode will activate at %d%%"};
  NoticeWording smartModeReady = {"Smart AI Mode Enabled", "AI Ready (%1$d days trained)",
                                  "LPM will activate when ~%2$d min remaining"};
  NoticeWording smartModeTraining = {"Smart AI Mode Enabled", "Training... (%d/2 days)",
                                     "Using threshold mode until AI has enough data"};
  NoticeWording smartModeDisabled = {"Smart AI Mode Disabled", "Classic Threshold Mode",
                                     "LPM will activate at %d%%"};
  NoticeWording unreadableSettings = {"Kestrine", "Settings could not be read",
                                      "Using the default settings. The old file is kept at %s"};
  NoticeWording alreadyRunning = {
      "Kestrine", "Kestrine is already running",
      "It keeps watching the battery. Quit it from its menu or with kestrine --quit."};
  NoticeWording noStatusArea = {
      "Kestrine", "No panel shows Kestrine's icon",
      "It keeps switching Low Power Mode on. Quit: kestrine --quit. To show its icon on "
      "GNOME, enable the AppIndicator extension (gnome-shell-extension-appindicator)."};
  // Why a check pass switched, the reason above: by the threshold (the level),
  // by Smart AI Mode (the minutes left), by the threshold while Smart AI Mode
  // has no prediction (the level).
  std::string_view thresholdReason = "Battery at %d%%";
  std::string_view smartReason = "~%d min remaining (Smart AI Mode)";
  std::string_view fallbackReason = "Battery at %d%% (fallback)";
};

// power-profiles-daemon's profiles as the Linux desktops show them, and the
// panel. Notifications say what happened in their title, which a collapsed
// banner shows alone.
inline constexpr Wording kLinuxWording{
    .machine = "computer",
    .statusArea = "panel",
    .powerModes = {"Balanced", "Power Saver", "Performance"},
    .checkMarksInTitles = false,
    .copyright = "\u00A9 " KESTRINE_COPYRIGHT,
    .summaryLevel = "Battery %d%%",
    .summaryThreshold = "switches at %d%%",
    .thresholdSwitch = {"Power Saver on: battery at %1$d%%", "",
                        "Kestrine switched at the threshold, %2$d%%."},
    .automaticSwitch = {"Power Saver on: %s", "", "Kestrine switched automatically."},
    .thresholdUpdated = {"Threshold set to %d%%", "",
                         "Kestrine switches to Power Saver when the battery reaches it."},
    .smartModeReady = {"Smart AI Mode on", "",
                       "Trained on %1$d days: Kestrine switches to Power Saver when about "
                       "%2$d min are left."},
    .smartModeTraining = {"Smart AI Mode on, still learning", "",
                          "Day %d of 2: until then the threshold decides."},
    .smartModeDisabled = {"Smart AI Mode off", "",
                          "Kestrine switches to Power Saver at the threshold, %d%%."},
    .unreadableSettings = {"Settings could not be read", "",
                           "Kestrine uses the default settings. The old file is kept at %s"},
    .alreadyRunning = {"Kestrine is already running", "",
                       "It keeps watching the battery. Quit it from its menu or with "
                       "kestrine --quit."},
    .noStatusArea = {"No panel shows Kestrine's icon", "",
                     "It keeps switching to Power Saver. Quit: kestrine --quit. To show its "
                     "icon on GNOME, enable the AppIndicator extension "
                     "(gnome-shell-extension-appindicator)."},
    .thresholdReason = "battery at %d%%",
    .smartReason = "about %d min left (Smart AI Mode)",
    .fallbackReason = "battery at %d%% (threshold, no prediction yet)",
};

}  // namespace kestrine
