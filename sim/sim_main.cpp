// kestrine-sim: the real application on a virtual laptop.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/demo.h"
#include "sim/scenario.h"
#include "sim/whatif.h"
#include "version.h"

namespace {

using namespace kestrine::sim;

constexpr const char* kUsage =
    R"(kestrine-sim: runs Kestrine's real core on a virtual laptop, in virtual time.

Usage:
  kestrine-sim demo [--home DIR] [--events FILE.jsonl]
      A built-in story told as a timeline (the example demo.scenario): first
      start and setup, a discharge in Classic Threshold Mode, a few days of
      learning, then Smart AI Mode switching by prediction.

  kestrine-sim whatif [--trace FILE] [--threshold N] [--target MIN]
                      [--plot OUT.svg] [--format text|json | --json] [--home DIR]
      Replays a battery history through Classic Threshold Mode (threshold N,
      default 20) and Smart AI Mode (learning from the trace, target MIN
      minutes, default 60) and reports, for each discharge, when, at which
      level and by which rule each mode would have switched Low Power Mode
      on, and the minutes the battery actually had left then (awake minutes).
      Without --trace it reads this machine's newest
      /var/lib/upower/history-charge-*.dat. The trace is told from its content:
        ~/.kestrine_ai_data.json                  Kestrine's own learning file
        /var/lib/upower/history-charge-*.dat      the power daemon's history
        a CSV with the columns time,percent,charging (in any order, named by
        a header: time/timestamp, percent/level/battery/battery_percent,
        charging/ac/on_ac); time in seconds, UNIX time or ISO 8601 UTC
      It ends with advice: the lowest menu threshold that would have left
      the target in most discharges, and what Smart AI Mode left.
      --format json (or --json) prints one JSON object; --plot draws the
      battery curve, sleep, the predictions, the target and the switch points.

  kestrine-sim run --scenario FILE [--events FILE.jsonl] [--home DIR]
      Plays a scenario and writes every event (tool runs, status titles, menus,
      alerts, password dialogs, notifications, files written, lines printed)
      as one JSON object per line to --events ("-" for standard output).
      A scenario has one line per step; '#' lines are comments:
        file NAME CONTENT     a file in the home folder at the start
        user NAME, start 2026-03-14T09:00:00, end 1:00:00 (required)
        battery P, plug, unplug, drain R, charge R, lowpowermode N,
        level none|available, sudoers-rule installed|broad|absent,
        report batt|custom TEXT|auto, tool batt|custom|sudo|osascript
        normal|fail-start|exit N|hang, menu ACTION [TAG], answer BUTTON,
        password accept|cancel, sleep 8h, restart, quit, say TEXT
      Steps without a time set up the machine before the start; "at 0:10:00
      STEP" puts one on the timeline. Without --events the run is told as a
      timeline. docs/simulator.md has the details.

Options:
  --home DIR   use DIR as the virtual user's home folder (made if missing,
               kept afterwards); by default a new temporary folder is used
               and removed, also on SIGINT or SIGTERM.
  --help       this text.
  --version    the version.

Exit status: 0 done, 2 bad command line or malformed input (nothing is run),
1 an output file could not be written.
)";

// Every option: whether it takes a value, and the commands that take it.
struct Option {
  std::string_view name;
  bool takesValue;
  std::vector<std::string_view> commands;
};
const Option kOptions[] = {
    {"--home", true, {"demo", "whatif", "run"}},
    {"--events", true, {"demo", "run"}},
    {"--scenario", true, {"run"}},
    {"--trace", true, {"whatif"}},
    {"--threshold", true, {"whatif"}},
    {"--target", true, {"whatif"}},
    {"--plot", true, {"whatif"}},
    {"--format", true, {"whatif"}},
    {"--json", false, {"whatif"}},
};

int usageError(const std::string& message) {
  std::cerr << "kestrine-sim: " << message << "\nTry 'kestrine-sim --help'.\n";
  return 2;
}

std::optional<long long> wholeNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') return std::nullopt;
  return value;
}

// The folder a run writes into, made once its input has been read: --home
// (made where missing, kept), or a new one that goes again at the end.
struct RunHome {
  std::optional<RunFolder> scratch;
  std::filesystem::path path;
  // 0 once the folder is there; else the exit status, the reason printed.
  int make(const std::optional<std::string>& given) {
    if (given) {
      path = *given;
      const auto error = makeHomeFolder(path);
      if (error) std::cerr << "kestrine-sim: " << *error << "\n";
      return error ? 2 : 0;
    }
    path = scratch.emplace().path();
    if (!path.empty()) return 0;
    std::cerr << "kestrine-sim: cannot make a temporary folder for the run\n";
    return 1;
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  for (const auto& arg : a) {
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "kestrine-sim " KESTRINE_VERSION "\n";
      return 0;
    }
  }
  if (a.empty()) return usageError("no command given (demo, whatif or run)");
  const std::string& command = a[0];
  std::map<std::string_view, std::string> given;
  std::vector<const Option*> used;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                     [&](const Option& o) { return o.name == a[i]; });
    if (option == std::end(kOptions)) return usageError("unknown option '" + a[i] + "'");
    used.push_back(option);
    if (option->takesValue && i + 1 >= a.size()) return usageError(a[i] + " needs a value");
    given[option->name] = option->takesValue ? a[++i] : "";
  }
  for (const char* name : {"--threshold", "--target"}) {
    if (!given.contains(name)) continue;
    const auto n = wholeNumber(given[name]);
    if (!n || *n < 0 || *n > 100000) return usageError(std::string(name) + " needs a whole number");
  }
  if (command != "demo" && command != "whatif" && command != "run")
    return usageError("unknown command '" + command + "'");
  // An option that another use takes is a mistake, not something to ignore.
  for (const Option* option : used) {
    if (std::find(option->commands.begin(), option->commands.end(), command) ==
        option->commands.end())
      return usageError(command + " takes no " + std::string(option->name));
  }
  const auto value = [&](std::string_view name) -> std::optional<std::string> {
    const auto found = given.find(name);
    if (found == given.end()) return std::nullopt;
    return found->second;
  };

  RunHome home;
  if (command == "run") {
    if (!value("--scenario")) return usageError("run needs --scenario FILE");
    const ScenarioParse parsed = loadScenario(*value("--scenario"));
    if (!parsed.scenario) {
      std::cerr << "kestrine-sim: " << parsed.error->str() << "\n";
      return 2;
    }
    if (const int status = home.make(value("--home"))) return status;
    return playScenarioFile(*parsed.scenario, home.path, value("--events"), false);
  }
  if (command == "demo") {
    if (const int status = home.make(value("--home"))) return status;
    return runDemo(home.path, value("--events"));
  }
  WhatIfOptions options;
  if (given.contains("--threshold")) options.threshold = *wholeNumber(given["--threshold"]);
  if (given.contains("--target")) options.targetMinutes = *wholeNumber(given["--target"]);
  const auto format = value("--format");
  if (format && *format != "text" && *format != "json")
    return usageError("--format takes text or json");
  if (given.contains("--json") && format == "text")
    return usageError("--json and --format text contradict");
  // Only the tests point it elsewhere.
  const char* folder = std::getenv("KESTRINE_SIM_UPOWER_DIR");
  std::optional<std::filesystem::path> tracePath;
  if (const auto trace = value("--trace")) tracePath = *trace;
  const auto trace = whatIfTrace(tracePath, folder ? folder : kUpowerHistoryFolder);
  if (!trace) return 2;
  if (const int status = home.make(value("--home"))) return status;
  options.home = home.path;
  return reportWhatIf(
      *trace, options, value("--plot"),
      given.contains("--json") || format == "json" ? ReportFormat::kJson : ReportFormat::kText);
}
