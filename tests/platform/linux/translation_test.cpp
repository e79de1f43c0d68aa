#include "platform/linux/translation.h"

#include <glib.h>
#include <glib/gi18n.h>
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "app/check_cycle.h"
#include "app/command_line.h"
#include "ui/messages.h"
#include "ui/status_icon.h"
#include "ui/status_menu.h"

namespace kestrine::linux_desktop {
namespace {

// Every text Kestrine shows on Linux, in `w`'s words: alerts, notifications,
// the summary, the menu (with its submenu), the icons' meanings, the reasons
// a pass gives and the command line's.
std::vector<std::string> everyText(const Wording& w) {
  const Config smart{.useSmartMode = true};
  std::vector<std::string> texts = {
      batteryInfoAlert(12, true, 20, w).body,
      batteryInfoAlert(12, false, 20, w).body,
      batteryInfoErrorAlert(w).title,
      batteryInfoErrorAlert(w).body,
      powerModeAlert(std::nullopt, w).body,
      aboutAlert(Config{}, w).body,
      aboutAlert(smart, w).body,
      launchAlert(20, w).title,
      launchAlert(20, w).body,
      launchAlert(20, w, false).body,
      statusSummary({12, true, PowerMode{7}, std::nullopt}, Config{}, w),
      statusSummary({std::nullopt, false, std::nullopt, 50}, smart, w),
      statusSummary({12, false, std::nullopt, std::nullopt}, smart, w),
      helpText(w),
      parseCommandLine({"-x"}, w).error,
      parseCommandLine({"-h", "-x"}, w).error,
  };
  for (PowerMode mode : {PowerMode::kAutomatic, PowerMode::kLowPower, PowerMode::kHighPower}) {
    texts.push_back(powerModeAlert(mode, w).title + powerModeAlert(mode, w).body);
  }
  for (std::string_view icon :
       {kIconLowPowerMode, kIconExternalPower, kIconLowBattery, kIconOnBattery, kIconAtThreshold})
    texts.push_back(iconMeaning(icon, w));
  for (const Notification& n :
       {thresholdSwitchNotification(12, 20, w), thresholdUpdatedNotification(20, w),
        smartModeEnabledNotification(true, 1, 60, w), smartModeEnabledNotification(false, 1, 60, w),
        smartModeDisabledNotification(20, w), unreadableSettingsNotification("/f", w),
        alreadyRunningNotification(w), noStatusAreaNotification(w),
        switchFailedNotification(SwitchFailure::kNotAllowed, w),
        saveFailedNotification(SavedFile::kSettings, "", w),
        saveFailedNotification(SavedFile::kLearningData, "", w)}) {
    // A title that stands alone in a collapsed banner: the desktop names the
    // application already, and no subtitle comes between title and body.
    EXPECT_TRUE(n.subtitle.empty() && n.title != "Kestrine") << n.title;
    texts.insert(texts.end(), {n.title, n.body});
  }
  for (SwitchFailure why :
       {SwitchFailure::kNoAnswer, SwitchFailure::kNoService, SwitchFailure::kRefused})
    texts.push_back(switchFailedNotification(why, w).body);
  for (const auto& [ready, prediction] : {std::pair{false, 0}, {true, 50}, {true, -1}}) {
    const std::optional<std::int64_t> minutes =
        prediction < 0 ? std::nullopt : std::optional<std::int64_t>(prediction);
    texts.push_back(
        automaticSwitchNotification(decideLowBattery(12, smart, ready, minutes, w).subtitle, w)
            .title);
  }
  for (const auto& [useSmartMode, ready] : {std::pair{false, false}, {true, true}, {true, false}}) {
    StatusMenuState state{.useSmartMode = useSmartMode, .daysCollected = 1, .hasEnoughData = ready};
    for (const MenuItem& item : buildStatusMenu(state, w).items) {
      if (!item.title.empty()) texts.push_back(item.title);
      for (const MenuItem& choice : item.submenu) texts.push_back(choice.title);
    }
  }
  return texts;
}

// In German, no text reads as its English: each comes from the catalogue, so
// none of the table's texts was left out of the translation.
TEST(Translation, EveryLinuxTextComesFromTheCatalogue) {
  g_setenv("LANGUAGE", "de", TRUE);
  openMessageCatalogues();
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  bindtextdomain("kestrine", KESTRINE_BUILD_CATALOGUES);
  const std::vector<std::string> english = everyText(kLinuxWording);
  for (const std::string& text : english) {  // the desktop's words, every place filled
    for (std::string_view macWord : {"Low Power Mode", "LPM", " %", "%%", "%d", "%s", "$"})
      EXPECT_EQ(text.find(macWord), std::string::npos) << macWord << " in " << text;
  }
  const std::vector<std::string> german = everyText(translatedWording());
  ASSERT_EQ(german.size(), english.size());
  for (std::size_t i = 0; i < english.size(); ++i) EXPECT_NE(german[i], english[i]);
  EXPECT_EQ(german[0], "Ladestand: 12\u00A0%\nStromquelle: Akku\nSchwelle: 20\u00A0%");
  g_unsetenv("LANGUAGE");
}

}  // namespace
}  // namespace kestrine::linux_desktop
