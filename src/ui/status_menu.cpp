#include "ui/status_menu.h"

#include <string>
#include <utility>

namespace kestrine {

namespace {

// A choice entry. With marks in titles, a chosen entry's title starts with a
// check mark, the others with two spaces so that the labels line up.
MenuItem choiceItem(MenuItem::Toggle toggle, bool selected, const std::string& label,
                    bool marksInTitles) {
  MenuItem item;
  item.title = marksInTitles ? (selected ? "\u2713 " : "  ") + label : label;
  item.toggle = toggle;
  item.checked = selected;
  return item;
}

MenuItem actionItem(std::string title, MenuAction action) {
  MenuItem item;
  item.title = std::move(title);
  item.action = action;
  return item;
}

}  // namespace

std::vector<MenuItem> buildThresholdEntries(std::int64_t threshold, bool checkMarksInTitles) {
  std::vector<MenuItem> entries;
  entries.reserve(kThresholdChoices.size());
  for (std::int64_t percent : kThresholdChoices) {
    MenuItem item = choiceItem(MenuItem::Toggle::kRadio, percent == threshold,
                               std::to_string(percent) + "%", checkMarksInTitles);
    item.action = MenuAction::kChangeThreshold;
    item.tag = percent;
    entries.push_back(std::move(item));
  }
  return entries;
}

Menu buildStatusMenu(const StatusMenuState& state) {
  Menu menu;
  auto& items = menu.items;

  MenuItem smart = choiceItem(MenuItem::Toggle::kCheck, state.useSmartMode,
                              "Smart AI Mode (1 hour)", state.checkMarksInTitles);
  smart.action = MenuAction::kToggleSmartMode;
  items.push_back(std::move(smart));

  if (state.useSmartMode) {
    const std::string days = std::to_string(state.daysCollected);
    MenuItem progress;
    const std::string ready = state.checkMarksInTitles ? "\u2713 AI Ready (" : "AI Ready (";
    progress.title =
        state.hasEnoughData ? ready + days + " days)" : "\u23F3 Training... (" + days + "/2 days)";
    progress.enabled = false;
    items.push_back(std::move(progress));
  }

  MenuItem threshold;
  threshold.title = (state.useSmartMode ? "Fallback Threshold: " : "Threshold: ") +
                    std::to_string(state.threshold) + "%";
  threshold.submenu = buildThresholdEntries(state.threshold, state.checkMarksInTitles);
  items.push_back(std::move(threshold));

  items.push_back(MenuItem::separator());
  items.push_back(actionItem("Current Battery", MenuAction::kShowBatteryInfo));
  items.push_back(actionItem("Current Power Mode", MenuAction::kShowPowerMode));
  items.push_back(MenuItem::separator());
  items.push_back(actionItem("About", MenuAction::kShowAbout));
  items.push_back(MenuItem::separator());

  MenuItem quit = actionItem("Quit Kestrine", MenuAction::kQuit);
  quit.keyEquivalent = "q";
  items.push_back(std::move(quit));
  return menu;
}

}  // namespace kestrine
