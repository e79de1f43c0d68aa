#include "sim/demo.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/fake/virtual_clock.h"
#include "sim/laptop_run.h"

namespace kestrine::sim {

namespace {

std::string when(WallTime time) { return fake::formatUtc(time, "%a %d %b %H:%M:%S"); }

// Padding for the icon column: the emoji are two columns wide, "⚡" too.
std::string iconColumn(const std::string& icon) { return icon.empty() ? "  " : icon; }

// "“text”", in typographic quotes.
std::string inQuotes(std::string_view text) {
  return "\xE2\x80\x9C" + std::string(text) + "\xE2\x80\x9D";
}

// The menu item a newcomer sees for an action.
std::string menuTitle(std::string_view action) {
  const auto space = action.find(' ');
  const std::string_view name = action.substr(0, space);
  if (name == "toggleSmartMode") return "Smart AI Mode (1 hour)";
  if (name == "changeThreshold:") return std::string(action.substr(space + 1)) + "%";
  if (name == "showBatteryInfo") return "Current Battery";
  if (name == "showPowerMode") return "Current Power Mode";
  if (name == "showAbout") return "About";
  if (name == "terminate:") return "Quit Kestrine";
  return std::string(action);
}

// "alert TITLE [A/B] -> B" as "Alert “TITLE” [A/B]: the user clicks B".
std::string describeAlert(std::string_view text) {
  const auto open = text.rfind(" [");
  const auto arrow = text.rfind("] -> ");
  if (open == std::string_view::npos || arrow == std::string_view::npos || arrow < open) {
    return "Alert: " + std::string(text);
  }
  return "Alert " + inQuotes(text.substr(0, open)) + " " +
         std::string(text.substr(open + 1, arrow - open)) + ": the user clicks " +
         std::string(text.substr(arrow + 5));
}

// What a timeline line says about an event; empty for the ones left out.
std::string describe(const SimEvent& event) {
  const std::string& s = event.summary;
  auto after = [&](std::string_view prefix) { return s.substr(prefix.size()); };
  if (event.type == "machine") {
    const std::string change = after("machine ");
    if (change.starts_with("story ")) return "\xE2\x96\xB6 " + change.substr(6);  // ▶
    if (change == "launch") return "Kestrine starts";
    if (change.starts_with("sleep ")) {
      return "(the laptop sleeps for " + std::to_string(std::stoll(change.substr(6)) / 3600) +
             " hours: no checks meanwhile, one on waking)";
    }
    return "(" + change + ")";
  }
  if (event.type == "alert") return describeAlert(after("alert "));
  if (event.type == "password") {
    const std::string rest = after("password ");
    const bool accepted = rest.starts_with("accept");
    const auto slash = rest.find(" / ");
    return "Password dialog " +
           inQuotes(slash == std::string::npos ? rest : rest.substr(slash + 3)) + ": the user " +
           (accepted ? "types the password" : "cancels");
  }
  if (event.type == "notification") return "Notification: " + after("notification ");
  if (event.type == "menu-action") {
    return "The user chooses " + inQuotes(menuTitle(after("menu-action "))) + " in the menu";
  }
  if (event.type == "print") return "Printed: " + after("print ");
  if (event.type == "tool") {
    const auto arrow = s.rfind(" -> ");
    const std::string status = arrow == std::string::npos ? "" : s.substr(arrow + 4);
    const std::string outcome = status == "0" ? "done" : "failed (" + status + ")";
    if (s.starts_with("tool /usr/bin/sudo -n -l")) {
      return "sudo -n -l lists the rules that need no password: " + outcome;
    }
    if (s.starts_with("tool /usr/bin/sudo ")) {
      return "sudo -n /usr/bin/pmset -b lowpowermode 1, without a password: " + outcome;
    }
    if (s.starts_with("tool /usr/bin/osascript ")) {
      const bool setup = s.find("sudoers.d") != std::string::npos;
      return std::string(setup ? "osascript installs the sudoers rule as administrator"
                               : "osascript runs pmset -b lowpowermode 1 as administrator") +
             ": " + outcome;
    }
  }
  return {};
}

}  // namespace

void tellTimeline(LaptopRun& run, std::function<void(const SimEvent&)> also) {
  auto icon = std::make_shared<std::string>();
  auto line = [&run, icon](double t, const std::string& text) {
    char level[8];
    std::snprintf(level, sizeof level, "%3lld%%", static_cast<long long>(run.laptop().level()));
    std::cout << when(run.start() + t) << "  " << iconColumn(*icon) << "  " << level << "  " << text
              << "\n";
  };
  run.log().listener = [line, icon, also = std::move(also)](const SimEvent& event) {
    if (also) also(event);
    if (event.type == "title") {
      const std::string title = event.summary.substr(6);
      if (title != *icon) {
        *icon = title;
        line(event.t, "The menu bar icon changes to " + title);
      }
      return;
    }
    const std::string text = describe(event);
    if (!text.empty()) line(event.t, text);
  };
}

int runDemo(const std::optional<std::filesystem::path>& home,
            const std::optional<std::string>& eventsFile) {
  LaptopRunOptions options;
  options.start = fake::wallTimeFromCivil(2026, 3, 14, 8, 0, 0.0);
  options.home = home;
  LaptopRun run(options);
  std::ofstream events;
  if (eventsFile) {
    events.open(*eventsFile, std::ios::binary | std::ios::trunc);
    if (!events) {
      std::cerr << "kestrine-sim: cannot write " << *eventsFile << "\n";
      return 1;
    }
    run.log().setStream(&events);
  }
  VirtualLaptop& m = run.laptop();
  std::optional<std::int64_t> smartSwitchLevel;
  tellTimeline(run, [&](const SimEvent& event) {
    // The notification of a switch that the prediction decided.
    const AppDelegate* app = run.app();
    if (event.type == "notification" && app && app->lastDecision() &&
        app->lastDecision()->rule == LowBatteryRule::kSmart && !smartSwitchLevel) {
      smartSwitchLevel = m.level();
    }
  });
  const WallTime day = 86400;
  auto at = [&](double dayIndex, int hour, int minute) {
    run.runUntilJustBefore(options.start + dayIndex * day + (hour - 8) * 3600.0 + minute * 60.0);
  };
  auto story = [&](const std::string& text) { run.note("story " + text); };

  std::cout << "Kestrine on a virtual laptop: three days in a few seconds.\n"
            << "Its files go to " << run.home().string() << "\n"
            << "Columns: the time (UTC), the menu bar icon, the battery, what happened.\n\n";

  // Day 1: first start and setup, then the threshold at work.
  m.battery().setPercent(46);
  m.battery().setOnMains(false);
  m.battery().setDrainPerMinute(0.2);
  m.battery().setChargePerMinute(1.0);
  story(
      "First start: no settings yet. The laptop is at 46% on battery, using 0.2 points a minute.");
  run.queueAnswer("Continue", 4);
  run.launch();
  at(0, 10, 0);
  story("Classic Threshold Mode at 20%: Low Power Mode goes on when the battery reaches it.");
  at(0, 10, 30);
  story("The user plugs in.");
  m.battery().setOnMains(true);
  at(0, 10, 35);
  story("...and switches Low Power Mode off again in the system settings.");
  m.setLowPowerMode(0);
  at(0, 12, 0);
  story("Unplugged for the afternoon; every check also teaches the predictor.");
  m.battery().setOnMains(false);
  at(0, 16, 30);
  m.battery().setOnMains(true);
  at(0, 18, 0);
  story("The laptop sleeps through the night, plugged in.");
  run.sleep(14 * 3600.0);

  // Day 2: another day of learning; the day change was counted on waking.
  at(1, 8, 5);
  story("Day 2: off the charger at 100%.");
  m.battery().setOnMains(false);
  m.battery().setDrainPerMinute(0.25);
  at(1, 12, 0);
  m.battery().setOnMains(true);
  at(1, 13, 0);
  m.battery().setOnMains(false);
  at(1, 16, 0);
  m.battery().setOnMains(true);
  at(1, 18, 0);
  story("Another night asleep.");
  run.sleep(14 * 3600.0);

  // Day 3: Smart AI Mode switches by the prediction, well above the threshold.
  at(2, 8, 5);
  story("Day 3: two days learned. The user turns Smart AI Mode on.");
  run.menuAction(MenuAction::kToggleSmartMode, 0);
  at(2, 8, 10);
  story("Off the charger under heavy use: 0.5 points a minute.");
  m.battery().setOnMains(false);
  m.battery().setDrainPerMinute(0.5);
  at(2, 11, 0);
  run.log().add(run.now(), "end", JsonObject(), "end");
  if (smartSwitchLevel) {
    std::cout << "\nSmart AI Mode switched at " << *smartSwitchLevel
              << "%, when about an hour was left;\n"
              << "Classic Threshold Mode would have waited for 20%.\n";
  }
  return 0;
}

}  // namespace kestrine::sim
