#pragma once

#include "ports/wording.h"
#include "version.h"

// Marks a text of the table below for the message catalogue's template, and a
// pair of texts whose choice follows a count. The Linux build looks each up in
// the user's language when it starts (translation.h).
#define KESTRINE_TEXT(text) text
#define KESTRINE_PLURAL(one, other) \
  ::kestrine::PluralText { one, other }

namespace kestrine::linux_desktop {

// The Linux desktops' words, in English: power-profiles-daemon's profiles as
// the desktops show them, the panel, one way of writing percentages.
// Notifications say what happened in their title, which a collapsed banner
// shows alone. The Linux build fills a copy in the user's language.
inline constexpr Wording kLinuxWording{
    .powerModes = {KESTRINE_TEXT("Balanced"), KESTRINE_TEXT("Power Saver"),
                   KESTRINE_TEXT("Performance")},
    .unknownMode = KESTRINE_TEXT("Unknown"),
    .checkMarksInTitles = false,
    .copyright = "\u00A9 " KESTRINE_COPYRIGHT,
    .smartModeItem = KESTRINE_TEXT("Smart AI Mode (1 hour)"),
    .readyItem = KESTRINE_PLURAL("AI Ready (%d day)", "AI Ready (%d days)"),
    // TRANSLATORS: the days learnt so far, out of the two Smart AI Mode needs.
    .trainingItem = KESTRINE_TEXT("\u23F3 Training... (%d/2 days)"),
    .thresholdItem = KESTRINE_TEXT("Threshold: %d%%"),
    .fallbackThresholdItem = KESTRINE_TEXT("Fallback Threshold: %d%%"),
    .thresholdChoice = KESTRINE_TEXT("%d%%"),
    .batteryItem = KESTRINE_TEXT("Current Battery"),
    .powerModeItem = KESTRINE_TEXT("Current Power Mode"),
    .aboutItem = KESTRINE_TEXT("About"),
    .quitItem = KESTRINE_TEXT("Quit Kestrine"),
    .errorTitle = KESTRINE_TEXT("Error"),
    .batteryInfoTitle = KESTRINE_TEXT("Battery Information"),
    .batteryInfoBody =
        KESTRINE_TEXT("Battery Level: %1$d%%\nPower Source: %2$s\nThreshold: %3$d%%"),
    .batterySource = KESTRINE_TEXT("Battery"),
    .acSource = KESTRINE_TEXT("AC Power"),
    .batteryInfoError = KESTRINE_TEXT("Unable to retrieve battery information"),
    .powerModeTitle = KESTRINE_TEXT("Current Power Mode"),
    .powerModeBody = KESTRINE_TEXT("Power Mode: %s"),
    .powerModeError = KESTRINE_TEXT("Unable to retrieve power mode"),
    // TRANSLATORS: %1$s is the version, %2$s the mode in force, %3$s the
    // copyright line.
    .aboutBody = KESTRINE_TEXT("Automatic Power Saver Manager\n"
                               "\n"
                               "Version: %1$s (AI Enhanced)\n"
                               "Current Mode: %2$s\n"
                               "\n"
                               "Icon Legend:\n"
                               "\U0001F4A4 - Power Saver on\n"
                               "\U0001F50C - Charging (AC Power)\n"
                               "\U0001F50B - On Battery (normal)\n"
                               "\U0001FAAB - Low Battery\n"
                               "\u26A1 - At Threshold\n"
                               "\n"
                               "Features:\n"
                               "\u2022 Classic threshold-based mode\n"
                               "\u2022 AI-powered Smart Mode (predicts 1-hour remaining)\n"
                               "\u2022 Local ML - all data stays on your computer\n"
                               "\u2022 Zero battery impact\n"
                               "\n"
                               "Settings: ~/.kestrine_config.json\n"
                               "Learning data: ~/.kestrine_ai_data.json\n"
                               "%3$s"),
    .aboutSmartMode = KESTRINE_TEXT("Smart AI Mode (~%d min)"),
    .launchTitle = KESTRINE_TEXT("Kestrine is Running"),
    .launchShown = KESTRINE_TEXT("The app is now active in your panel.\n"
                                 "\n"
                                 "Current threshold: %1$d%%\n"
                                 "Power Saver will activate automatically when\n"
                                 "your battery reaches %1$d%%.\n"
                                 "\n"
                                 "Click the battery icon in the panel anytime\n"
                                 "to view battery info or change settings."),
    .launchHidden = KESTRINE_TEXT("Current threshold: %1$d%%\n"
                                  "Power Saver will activate automatically when\n"
                                  "your battery reaches %1$d%%.\n"
                                  "\n"
                                  "No panel on this desktop shows Kestrine's icon.\n"
                                  "It keeps watching the battery; to quit it, run\n"
                                  "kestrine --quit"),
    .summaryLevel = KESTRINE_TEXT("Battery %d%%"),
    .summaryNoLevel = KESTRINE_TEXT("Battery level unknown"),
    .summaryOnBattery = KESTRINE_TEXT("on battery"),
    .summaryOnAc = KESTRINE_TEXT("on AC power"),
    .summaryModeUnknown = KESTRINE_TEXT("power mode unknown"),
    .summarySmart = KESTRINE_TEXT("Smart AI Mode: ~%1$d min left, switches at %2$d min"),
    .summaryThreshold = KESTRINE_TEXT("switches at %d%%"),
    .iconMeanings = {KESTRINE_TEXT("Power Saver on"), KESTRINE_TEXT("on external power"),
                     KESTRINE_TEXT("low battery"), KESTRINE_TEXT("on battery"),
                     KESTRINE_TEXT("at the threshold")},
    .thresholdSwitch = {KESTRINE_TEXT("Power Saver on: battery at %d%%"), "",
                        KESTRINE_TEXT("Kestrine switched at the threshold, %d%%.")},
    // TRANSLATORS: the reason is one of the three texts that start with
    // "battery at" or "about".
    .automaticSwitch = {KESTRINE_TEXT("Power Saver on: %s"), "",
                        KESTRINE_TEXT("Kestrine switched automatically.")},
    .thresholdUpdated = {KESTRINE_TEXT("Threshold set to %d%%"), "",
                         KESTRINE_TEXT(
                             "Kestrine switches to Power Saver when the battery reaches it.")},
    .smartModeReady = {KESTRINE_TEXT("Smart AI Mode on"), "",
                       KESTRINE_TEXT("Ready: Kestrine switches to Power Saver when about %d "
                                     "min are left.")},
    // TRANSLATORS: the days learnt so far, out of the two Smart AI Mode needs.
    .smartModeTraining = {KESTRINE_TEXT("Smart AI Mode on, still learning (%d/2 days)"), "",
                          KESTRINE_TEXT("Until then the threshold decides.")},
    .smartModeDisabled = {KESTRINE_TEXT("Smart AI Mode off"), "",
                          KESTRINE_TEXT(
                              "Kestrine switches to Power Saver at the threshold, %d%%.")},
    .unreadableSettings = {KESTRINE_TEXT("Settings could not be read"), "",
                           KESTRINE_TEXT("Kestrine uses the default settings. The old file is "
                                         "kept at %s")},
    .alreadyRunning = {KESTRINE_TEXT("Kestrine is already running"), "",
                       KESTRINE_TEXT("It keeps watching the battery. Quit it from its menu or "
                                     "with kestrine --quit.")},
    .noStatusArea = {KESTRINE_TEXT("No panel shows Kestrine's icon"), "",
                     KESTRINE_TEXT("It keeps switching to Power Saver. Quit: kestrine --quit. "
                                   "To show its icon on GNOME, enable the AppIndicator "
                                   "extension (gnome-shell-extension-appindicator).")},
    .switchFailed = {KESTRINE_TEXT("Power Saver could not be turned on"), "",
                     // TRANSLATORS: %s is one of the four reasons that follow.
                     KESTRINE_TEXT("%s Kestrine tries again at every check.")},
    .switchFailures = {KESTRINE_TEXT("The system's policy (polkit) does not let this session "
                                     "switch the power profile."),
                       KESTRINE_TEXT("power-profiles-daemon did not answer."),
                       KESTRINE_TEXT("power-profiles-daemon is not running."),
                       KESTRINE_TEXT("power-profiles-daemon refused the switch.")},
    // TRANSLATORS: %s is the line printed about the failure, in English.
    .settingsUnsaved = {KESTRINE_TEXT("Settings could not be saved"), "",
                        KESTRINE_TEXT("%s. Kestrine uses them until it quits and saves them "
                                      "again at every check.")},
    .learningUnsaved = {KESTRINE_TEXT("Learning data could not be saved"), "",
                        KESTRINE_TEXT("%s. Kestrine saves it again at every check.")},
    .thresholdReason = KESTRINE_TEXT("battery at %d%%"),
    .smartReason = KESTRINE_TEXT("about %d min left (Smart AI Mode)"),
    .fallbackReason = KESTRINE_TEXT("battery at %d%% (no prediction yet)"),
    // TRANSLATORS: %s is the version. Keep the options as they are.
    .help = KESTRINE_TEXT(
        "Usage: kestrine [--help | --version | --quit]\n"
        "\n"
        "Kestrine %s switches the laptop to Power Saver while it runs on battery\n"
        "and the charge is low. Without an option it starts in the desktop session\n"
        "(one instance per user) and shows its icon in the panel; everything else\n"
        "is chosen from its menu.\n"
        "\n"
        "  -h, --help  print this help and exit\n"
        "  --version   print the version and exit\n"
        "  --quit      end the running Kestrine and exit\n"
        "\n"
        "Settings: ~/.kestrine_config.json   Learning data: ~/.kestrine_ai_data.json\n"),
    .tooManyArguments = KESTRINE_TEXT("too many arguments: '%s'"),
    .unknownArgument = KESTRINE_TEXT("unknown argument '%s'"),
};

}  // namespace kestrine::linux_desktop
