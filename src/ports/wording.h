#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrine {

// A notification's texts as patterns (see fillIn). A desktop that shows the
// title alone in a collapsed banner gets a title that stands on its own and a
// body that adds the rest, with no subtitle between them.
struct NoticeWording {
  std::string_view title;
  std::string_view subtitle;
  std::string_view body;
};

// A text for a count of one and for any other count (in English).
struct PluralText {
  std::string_view one;
  std::string_view other;
};

// The words of every text Kestrine shows on a platform, as patterns: "%d" and
// "%s" take the next value, "%2$d" the second, "%%" is a percent sign. The
// defaults are the Mac's; a desktop with other names for things passes its own
// table.
struct Wording {
  // The automatic, low and high power modes, in that order, as "Current Power
  // Mode" and the status summary name them; any other mode.
  std::array<std::string_view, 3> powerModes = {"Automatic", "Low Power Mode", "High Power Mode"};
  std::string_view unknownMode = "Unknown";
  // Whether a chosen menu entry says so with "✓ " in its title. Without, the
  // backend shows each entry's check state as the toolkit's own check or radio
  // item, which screen readers announce.
  bool checkMarksInTitles = true;
  // About's closing line: the Mac's own; the Linux build names the holder of
  // the licence, as the package's copyright file does. Never translated.
  std::string_view copyright = "\u00A9 2026 Kestrine";
  // Which of a PluralText's texts a count takes, in the user's language; none:
  // English's rule.
  std::string_view (*plural)(const PluralText& text, std::int64_t count) = nullptr;

  // The menu: the days learnt; the days learnt; the threshold, also About's
  // "Current Mode"; the threshold while Smart AI Mode decides; a choice.
  std::string_view smartModeItem = "Smart AI Mode (1 hour)";
  PluralText readyItem = {"AI Ready (%d days)", "AI Ready (%d days)"};
  std::string_view trainingItem = "\u23F3 Training... (%d/2 days)";
  std::string_view thresholdItem = "Threshold: %d%%";
  std::string_view fallbackThresholdItem = "Fallback Threshold: %d%%";
  std::string_view thresholdChoice = "%d%%";
  std::string_view batteryItem = "Current Battery";
  std::string_view powerModeItem = "Current Power Mode";
  std::string_view aboutItem = "About";
  std::string_view quitItem = "Quit Kestrine";

  // Alerts. Battery information: the level, the source and the threshold.
  std::string_view errorTitle = "Error";
  std::string_view batteryInfoTitle = "Battery Information";
  std::string_view batteryInfoBody = "Battery Level: %1$d%%\nPower Source: %2$s\nThreshold: %3$d%%";
  std::string_view batterySource = "Battery";
  std::string_view acSource = "AC Power";
  std::string_view batteryInfoError = "Unable to retrieve battery information";
  std::string_view powerModeTitle = "Current Power Mode";
  std::string_view powerModeBody = "Power Mode: %s";
  std::string_view powerModeError = "Unable to retrieve power mode";
  // About: the version, the mode (Smart AI Mode's minutes, or thresholdItem)
  // and the copyright line.
  std::string_view aboutBody =
      "Automatic Low Power Mode Manager\n"
      "\n"
      "Version: %1$s (AI Enhanced)\n"
      "Current Mode: %2$s\n"
      "\n"
      "Icon Legend:\n"
      "\U0001F4A4 - Low Power Mode ON\n"
      "\U0001F50C - Charging (AC Power)\n"
      "\U0001F50B - On Battery (normal)\n"
      "\U0001FAAB - Low Battery\n"
      "\u26A1 - At Threshold\n"
      "\n"
      "Features:\n"
      "\u2022 Classic threshold-based mode\n"
      "\u2022 AI-powered Smart Mode (predicts 1-hour remaining)\n"
      "\u2022 Local ML - all data stays on your Mac\n"
      "\u2022 Zero battery impact\n"
      "\n"
      "Settings: ~/.kestrine_config.json\n"
      "Learning data: ~/.kestrine_ai_data.json\n"
      "%3$s";
  std::string_view aboutSmartMode = "Smart AI Mode (~%d min)";
  // The rule in force, with the threshold: in the launch message (as %2$s)
  // and in the one-time setup's confirmation. The Linux launch texts, which
  // have no setup beside them, spell it out whole for the translators.
  std::string_view thresholdRule =
      "Current threshold: %1$d%%\n"
      "Low Power Mode will activate automatically when\n"
      "your battery reaches %1$d%%.";
  // The launch message, with the threshold and the rule: where the status area
  // shows the icon, and where nothing does.
  std::string_view launchTitle = "Kestrine is Running";
  std::string_view launchShown =
      "The app is now active in your menu bar.\n"
      "\n"
      "%2$s\n"
      "\n"
      "Click the battery icon in the menu bar anytime\n"
      "to view battery info or change settings.";
  std::string_view launchHidden =
      "%2$s\n"
      "\n"
      "No menu bar on this desktop shows Kestrine's icon.\n"
      "It keeps watching the battery; to quit it, run\n"
      "kestrine --quit";

  // The status summary's parts, joined by " · " (see statusSummary); Smart AI
  // Mode's with the minutes left and the minutes it switches at.
  std::string_view summaryLevel = "Battery %d %%";
  std::string_view summaryNoLevel = "Battery level unknown";
  std::string_view summaryOnBattery = "on battery";
  std::string_view summaryOnAc = "on AC power";
  std::string_view summaryModeUnknown = "power mode unknown";
  std::string_view summarySmart = "Smart AI Mode: ~%1$d min left, switches at %2$d min";
  std::string_view summaryThreshold = "switches at %d %%";
  // What each status icon means, for screen readers: Low Power Mode on,
  // external power, low battery, on battery, at the threshold.
  std::array<std::string_view, 5> iconMeanings = {"Low Power Mode on", "on external power",
                                                  "low battery", "on battery", "at the threshold"};

  // Notifications. The title and the subtitle take what happened, the body
  // the details: the level, then the threshold; the reason a check pass gives;
  // the threshold, then again; the days learnt, then the minutes aimed at; the
  // days learnt; the threshold; the kept file's path.
  NoticeWording thresholdSwitch = {"Kestrine", "Battery at %d%%",
                                   "Low Power Mode enabled (threshold: %d%%)"};
  NoticeWording automaticSwitch = {"Kestrine", "%s", "Low Power Mode enabled automatically"};
  NoticeWording thresholdUpdated = {"Kestrine", "Threshold Updated",
                                    "Low Power Mode will activate at %d%%"};
  NoticeWording smartModeReady = {"Smart AI Mode Enabled", "AI Ready (%d days trained)",
                                  "LPM will activate when ~%d min remaining"};
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
  // A switch that failed on a low battery (only a platform that can say why
  // sends it), with the reason as the body's %s: the system's policy refused,
  // the power service did not answer, it is not running, it refused.
  NoticeWording switchFailed = {"Kestrine", "Low Power Mode could not be turned on",
                                "%s Kestrine tries again at every check."};
  std::array<std::string_view, 4> switchFailures = {
      "The system's policy does not allow the switch.", "The power service did not answer.",
      "The power service is not running.", "The power service refused the switch."};
  // A save that failed (only a platform that tells failures sends it), with
  // the printed line as the body's %s.
  NoticeWording settingsUnsaved = {
      "Kestrine", "Settings could not be saved",
      "%s. Kestrine uses them until it quits and saves them again at every check."};
  NoticeWording learningUnsaved = {"Kestrine", "Learning data could not be saved",
                                   "%s. Kestrine saves it again at every check."};
  // Why a check pass switched, the reason above: by the threshold (the level),
  // by Smart AI Mode (the minutes left), by the threshold while Smart AI Mode
  // has no prediction (the level).
  std::string_view thresholdReason = "Battery at %d%%";
  std::string_view smartReason = "~%d min remaining (Smart AI Mode)";
  std::string_view fallbackReason = "Battery at %d%% (fallback)";

  // The command line: its help (with the version), and its faults (with the
  // argument).
  std::string_view help =
      "Usage: kestrine [--help | --version | --quit]\n"
      "\n"
      "Kestrine %s switches the laptop to its power-saving profile while it runs on\n"
      "battery and the charge is low. Without an option it starts in the desktop\n"
      "session (one instance per user) and shows its icon in the panel; everything\n"
      "else is chosen from its menu.\n"
      "\n"
      "  -h, --help  print this help and exit\n"
      "  --version   print the version and exit\n"
      "  --quit      end the running Kestrine and exit\n"
      "\n"
      "Settings: ~/.kestrine_config.json   Learning data: ~/.kestrine_ai_data.json\n";
  std::string_view tooManyArguments = "too many arguments: '%s'";
  std::string_view unknownArgument = "unknown argument '%s'";
};

}  // namespace kestrine
