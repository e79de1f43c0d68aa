#include "sim/demo.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string_view>

#include "platform/fake/calendar.h"

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
    if (change.starts_with("say ")) return "\xE2\x96\xB6 " + change.substr(4);  // ▶
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

int playScenarioFile(const Scenario& scenario, const std::filesystem::path& home,
                     const std::optional<std::string>& events, bool tell) {
  std::ofstream file;
  std::ostream* out = nullptr;
  if (events && *events == "-") {
    out = &std::cout;
  } else if (events) {
    file.open(*events, std::ios::binary | std::ios::trunc);
    if (!file) {
      std::cerr << "kestrine-sim: cannot write " << *events << "\n";
      return 1;
    }
    out = &file;
  }
  LaptopRunOptions options;
  options.start = scenario.start;
  options.home = home;
  options.userName = scenario.user;
  LaptopRun run(options);
  run.log().setStream(out);
  if (tell || !out) tellTimeline(run);
  return playScenario(scenario, run) ? 0 : 1;
}

int runDemo(const std::filesystem::path& home, const std::optional<std::string>& events) {
  const ScenarioParse demo = parseScenario(kDemoScenario, "demo.scenario", {});
  std::cout << "Kestrine on a virtual laptop: three days in a few seconds.\n"
            << "Its files go to " << home.string() << "\n"
            << "Columns: the time (UTC), the menu bar icon, the battery, what happened.\n\n";
  return playScenarioFile(*demo.scenario, home, events, true);
}

}  // namespace kestrine::sim
