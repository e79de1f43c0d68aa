#include "ui/status_menu.h"

#include <string>
#include <utility>

#include "ui/messages.h"

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

std::vector<MenuItem> buildThresholdEntries(std::int64_t threshold, bool checkMarksInTitles,
                                            const Wording& wording) {
  std::vector<MenuItem> entries;
  entries.reserve(kThresholdChoices.size());
  for (std::int64_t percent : kThresholdChoices) {
    MenuItem item = choiceItem(MenuItem::Toggle::kRadio, percent == threshold,
                               fillIn(wording.thresholdChoice, {percent}), checkMarksInTitles);
    item.action = MenuAction::kChangeThreshold;
    item.tag = percent;
    entries.push_back(std::move(item));
  }
  return entries;
}

Menu buildStatusMenu(const StatusMenuState& state, const Wording& wording) {
  Menu menu;
  auto& items = menu.items;

  MenuItem smart = choiceItem(MenuItem::Toggle::kCheck, state.useSmartMode,
                              std::string(wording.smartModeItem), state.checkMarksInTitles);
  smart.action = MenuAction::kToggleSmartMode;
  items.push_back(std::move(smart));

  if (state.useSmartMode) {
    MenuItem progress;
    const std::string ready =
        (state.checkMarksInTitles ? "\u2713 " : "") +
        fillIn(pluralFor(wording.readyItem, state.daysCollected, wording), {state.daysCollected});
    progress.title =
        state.hasEnoughData ? ready : fillIn(wording.trainingItem, {state.daysCollected});
    progress.enabled = false;
    items.push_back(std::move(progress));
  }

  MenuItem threshold;
  threshold.title =
      fillIn(state.useSmartMode ? wording.fallbackThresholdItem : wording.thresholdItem,
             {state.threshold});
  threshold.submenu = buildThresholdEntries(state.threshold, state.checkMarksInTitles, wording);
  items.push_back(std::move(threshold));

  items.push_back(MenuItem::separator());
  items.push_back(actionItem(std::string(wording.batteryItem), MenuAction::kShowBatteryInfo));
  items.push_back(actionItem(std::string(wording.powerModeItem), MenuAction::kShowPowerMode));
  items.push_back(MenuItem::separator());
  items.push_back(actionItem(std::string(wording.aboutItem), MenuAction::kShowAbout));
  items.push_back(MenuItem::separator());

  MenuItem quit = actionItem(std::string(wording.quitItem), MenuAction::kQuit);
  quit.keyEquivalent = "q";
  items.push_back(std::move(quit));
  return menu;
}

}  // namespace kestrine
