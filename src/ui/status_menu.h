#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "ports/menu_model.h"
#include "ports/wording.h"

namespace kestrine {

// What the status menu shows; read from the settings and the predictor each
// time the menu is built.
struct StatusMenuState {
  bool useSmartMode = false;
  std::int64_t threshold = 20;
  // The predictor's progress; only shown in Smart AI Mode.
  std::int64_t daysCollected = 0;
  bool hasEnoughData = false;
  // "✓ " in the titles of chosen entries (see Wording::checkMarksInTitles).
  bool checkMarksInTitles = true;
};

// The thresholds offered in the submenu, in order. 100 is deliberately absent.
inline constexpr std::array<std::int64_t, 9> kThresholdChoices = {10, 20, 30, 40, 50,
                                                                  60, 70, 80, 90};

// The nine threshold entries, radio items each tagged with its percentage; the
// entry equal to `threshold` is checked (and with `checkMarksInTitles` its
// title carries the check mark), so a threshold outside the nine values checks none.
std::vector<MenuItem> buildThresholdEntries(std::int64_t threshold, bool checkMarksInTitles = true,
                                            const Wording& wording = {});

// The whole status menu, top to bottom.
Menu buildStatusMenu(const StatusMenuState& state, const Wording& wording = {});

}  // namespace kestrine
