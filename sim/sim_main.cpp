// kestrine-sim: the real application on a virtual laptop.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "sim/demo.h"
#include "sim/scenario.h"
#include "sim/whatif.h"
#include "version.h"

namespace {

constexpr const char* kUsage =
    R"(kestrine-sim: runs Kestrine's real core on a virtual laptop, in virtual time.

Usage:
  kestrine-sim demo [--home DIR] [--events FILE.jsonl]
      A built-in story told as a timeline: first start and setup, a discharge
      in Classic Threshold Mode, a few days of learning, then Smart AI Mode
      switching by prediction. Takes well under a second.

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
        password accept|cancel, sleep 8h, restart, quit
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

struct Args {
  std::string command;
  std::vector<std::string> given;  // the options, in order
  std::optional<std::string> home, events, trace, plot, scenario, format;
  std::optional<long long> threshold, target;
  bool json = false;  // --json, the same as --format json
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

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrine::sim;
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
  Args args;
  args.command = a[0];
  for (std::size_t i = 1; i < a.size(); ++i) {
    const std::string& option = a[i];
    args.given.push_back(option);
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= a.size()) return std::nullopt;
      return a[++i];
    };
    std::optional<std::string>* slot = nullptr;
    if (option == "--home") slot = &args.home;
    if (option == "--events") slot = &args.events;
    if (option == "--trace") slot = &args.trace;
    if (option == "--plot") slot = &args.plot;
    if (option == "--scenario") slot = &args.scenario;
    if (option == "--format") slot = &args.format;
    if (option == "--json") {
      args.json = true;
      continue;
    }
    if (slot) {
      *slot = value();
      if (!*slot) return usageError(option + " needs a value");
      continue;
    }
    if (option == "--threshold" || option == "--target") {
      const auto v = value();
      const auto n = v ? wholeNumber(*v) : std::nullopt;
      if (!n || *n < 0 || *n > 100000) return usageError(option + " needs a whole number");
      (option == "--threshold" ? args.threshold : args.target) = n;
      continue;
    }
    return usageError("unknown option '" + option + "'");
  }

  // An option that another use takes is a mistake, not something to ignore.
  const std::vector<std::string> allowed =
      args.command == "demo" ? std::vector<std::string>{"--home", "--events"}
      : args.command == "whatif"
          ? std::vector<std::string>{"--trace", "--threshold", "--target", "--plot",
                                     "--home",  "--format",    "--json"}
      : args.command == "run" ? std::vector<std::string>{"--scenario", "--events", "--home"}
                              : std::vector<std::string>{};
  if (allowed.empty()) return usageError("unknown command '" + args.command + "'");
  for (const auto& option : args.given) {
    if (std::find(allowed.begin(), allowed.end(), option) == allowed.end()) {
      return usageError(args.command + " takes no " + option);
    }
  }

  // Everything a run writes goes into one folder: --home, or a new one that
  // goes again at the end. It is made only once the input has been read.
  std::optional<RunFolder> scratch;
  std::optional<std::filesystem::path> home;
  if (args.home) home = std::filesystem::path(*args.home);
  // 0 once the folder is there; else the exit status: 2 for a bad --home.
  auto runHome = [&]() -> int {
    if (home) {
      const auto error = makeHomeFolder(*home);
      if (error) std::cerr << "kestrine-sim: " << *error << "\n";
      return error ? 2 : 0;
    }
    scratch.emplace();
    if (scratch->path().empty()) {
      std::cerr << "kestrine-sim: cannot make a temporary folder for the run\n";
      return 1;
    }
    home = scratch->path();
    return 0;
  };

  if (args.command == "run") {
    if (!args.scenario) return usageError("run needs --scenario FILE");
    const ScenarioParse parsed = loadScenario(*args.scenario);
    if (!parsed.scenario) {
      std::cerr << "kestrine-sim: " << parsed.error->str() << "\n";
      return 2;
    }
    if (const int status = runHome()) return status;
    std::ofstream file;
    std::ostream* out = nullptr;
    if (args.events && *args.events == "-") {
      out = &std::cout;
    } else if (args.events) {
      file.open(*args.events, std::ios::binary | std::ios::trunc);
      if (!file) {
        std::cerr << "kestrine-sim: cannot write " << *args.events << "\n";
        return 1;
      }
      out = &file;
    }
    LaptopRunOptions options;
    options.start = parsed.scenario->start;
    options.home = home;
    options.userName = parsed.scenario->user;
    LaptopRun run(options);
    run.log().setStream(out);
    // Without an events file the run is told as a timeline, as the demo is.
    if (!out) tellTimeline(run);
    return playScenario(*parsed.scenario, run) ? 0 : 1;
  }
  if (args.command == "demo") {
    if (const int status = runHome()) return status;
    return runDemo(home, args.events);
  }
  if (args.command == "whatif") {
    WhatIfOptions options;
    options.home = home;
    if (args.threshold) options.threshold = *args.threshold;
    if (args.target) options.targetMinutes = *args.target;
    if (args.format && *args.format != "text" && *args.format != "json") {
      return usageError("--format takes text or json");
    }
    if (args.json && args.format == "text")
      return usageError("--json and --format text contradict");
    if (args.json) args.format = "json";
    // Only the tests point it elsewhere.
    const char* folder = std::getenv("KESTRINE_SIM_UPOWER_DIR");
    std::optional<std::filesystem::path> trace;
    if (args.trace) trace = *args.trace;
    return runWhatIfCommand(trace, options, args.plot,
                            args.format == "json" ? ReportFormat::kJson : ReportFormat::kText,
                            folder ? folder : kUpowerHistoryFolder);
  }
  return usageError("unknown command '" + args.command + "'");
}
