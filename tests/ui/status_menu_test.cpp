#include "ui/status_menu.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace kestrine {
namespace {

using ::testing::ElementsAre;

// The menu as lines: "---" for a separator, otherwise the title, then the
// action, " [disabled]", " key=<k>" and "/<n>" for the number of submenu entries.
std::vector<std::string> outline(const Menu& menu) {
  std::vector<std::string> lines;
  for (const MenuItem& item : menu.items) {
    if (item.isSeparator) {
      lines.push_back("---");
      continue;
    }
    constexpr const char* kWords[] = {"toggleSmartMode", "changeThreshold:", "showBatteryInfo",
                                      "showPowerMode",   "showAbout",        "terminate:"};
    std::string line = item.title + " -> " + (item.action ? kWords[int(*item.action)] : "");
    if (!item.enabled) line += " [disabled]";
    if (!item.keyEquivalent.empty()) line += " key=" + item.keyEquivalent;
    if (item.hasSubmenu()) line += " /" + std::to_string(item.submenu.size());
    lines.push_back(line);
  }
  return lines;
}

TEST(StatusMenuTest, SmartModeShowsProgressAndFallbackThreshold) {
  const std::vector<std::string> rest = {"---",
                                         "Current Battery -> showBatteryInfo",
                                         "Current Power Mode -> showPowerMode",
                                         "---",
                                         "About -> showAbout",
                                         "---",
                                         "Quit Kestrine -> terminate: key=q"};
  const auto expectMenu = [&](const StatusMenuState& state, std::vector<std::string> head) {
    head.insert(head.end(), rest.begin(), rest.end());
    EXPECT_EQ(outline(buildStatusMenu(state)), head);
  };
  expectMenu({.useSmartMode = false, .threshold = 20},
             {"  Smart AI Mode (1 hour) -> toggleSmartMode", "Threshold: 20% ->  /9"});
  for (const auto& [days, ready, progress] :
       {std::tuple{1, false, "⏳ Training... (1/2 days)"}, {3, true, "✓ AI Ready (3 days)"}}) {
    expectMenu(
        {.useSmartMode = true, .threshold = 20, .daysCollected = days, .hasEnoughData = ready},
        {"✓ Smart AI Mode (1 hour) -> toggleSmartMode", std::string(progress) + " ->  [disabled]",
         "Fallback Threshold: 20% ->  /9"});
  }
}

// A threshold off the choices checks none of them.
TEST(StatusMenuTest, ThresholdEntriesAreTaggedAndOnlyTheCurrentOneChecked) {
  for (const std::int64_t threshold : {20, 15}) {
    const std::vector<MenuItem> entries = buildThresholdEntries(threshold);
    ASSERT_EQ(entries.size(), 9U);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::int64_t tag = static_cast<std::int64_t>(10 * (i + 1));
      EXPECT_EQ(entries[i].title, (tag == threshold ? "✓ " : "  ") + std::to_string(tag) + "%");
      EXPECT_EQ(entries[i].tag, tag);
      EXPECT_EQ(entries[i].action, MenuAction::kChangeThreshold);
    }
  }
}

TEST(StatusMenuTest, WithoutMarksInTitlesTheChoicesCarryTheirStateAlone) {
  const Menu menu = buildStatusMenu({.useSmartMode = true,
                                     .threshold = 30,
                                     .daysCollected = 3,
                                     .hasEnoughData = true,
                                     .checkMarksInTitles = false});
  const MenuItem& smart = menu.items[0];
  EXPECT_EQ(smart.title, "Smart AI Mode (1 hour)");
  EXPECT_EQ(smart.toggle, MenuItem::Toggle::kCheck);
  EXPECT_TRUE(smart.checked);
  EXPECT_EQ(menu.items[1].title, "AI Ready (3 days)");
  // The threshold choices as radio items: the first_start e2e suite reads them from the host.
  EXPECT_EQ(menu.items[2].submenu[2].toggle, MenuItem::Toggle::kRadio);
  EXPECT_TRUE(menu.items[2].submenu[2].checked && !menu.items[2].submenu[1].checked);
  EXPECT_FALSE(
      buildStatusMenu({.useSmartMode = false, .checkMarksInTitles = false}).items[0].checked);
}

TEST(StatusMenuTest, ThresholdOutsideTheChoicesStillShowsInTheTitle) {
  EXPECT_EQ(buildStatusMenu({.useSmartMode = false, .threshold = 15}).items[1].title,
            "Threshold: 15%");
  EXPECT_EQ(buildStatusMenu({.useSmartMode = true, .threshold = 100}).items[2].title,
            "Fallback Threshold: 100%");
}

}  // namespace
}  // namespace kestrine
