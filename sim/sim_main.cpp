// kestrine-sim: the real application on a virtual laptop.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scenario.h"
#include "sim/whatif.h"
#include "version.h"

namespace {

using namespace kestrine::sim;

constexpr const char* kUsage =
    R"(kestrine-sim: runs Kestrine's real core on a virtual laptop, in virtual time.

Usage:
  kestrine-sim demo [--home DIR] [--events FILE.jsonl]
      The example demo.scenario, built in, told as a timeline: first start and
      setup, Classic Threshold Mode, days of learning, then Smart AI Mode.

  kestrine-sim whatif [--trace FILE] [--threshold N] [--target MIN]
                      [--plot OUT.svg] [--format text|json | --json] [--home DIR]
      Replays a battery history through Classic Threshold Mode (threshold N,
      default 20) and Smart AI Mode (target MIN minutes, default 60, learning
      from the history) and reports when, at which level and by which rule
      each would have switched Low Power Mode on in each discharge, the awake
      minutes actually left then, and advice. The history is this machine's
      newest /var/lib/upower/history-charge-*.dat by default, or a --trace:
      one of those, Kestrine's ~/.kestrine_ai_data.json, or a CSV with the
      columns time,percent,charging. --plot draws it as SVG.

  kestrine-sim run --scenario FILE [--events FILE.jsonl] [--home DIR]
      Plays a scenario, one step per line ('#' lines are comments), and
      writes every event as a JSON line to --events ("-": standard output);
      without it the run is told as a timeline. Set-up lines: file NAME
      CONTENT, user NAME, start 2026-03-14T09:00:00, end 1:00:00 (required).
      Steps, at the start or after "at 0:10:00": battery P, plug, unplug,
      drain R, charge R, lowpowermode N, level none|available, sudoers-rule
      installed|broad|absent|elsewhere, report batt|custom TEXT|auto, tool
      batt|custom|sudo|osascript normal|fail-start|exit N|hang, menu ACTION
      [TAG], answer BUTTON, password accept|cancel, sleep 8h, restart, quit,
      say TEXT.

Options:
  --home DIR   the virtual user's home folder (made if missing, kept); by
               default a new temporary folder, removed at the end, also on
               SIGINT or SIGTERM.
  --help, --version

Exit status: 0 done, 2 bad command line or malformed input (nothing is run),
1 an output file could not be written. The manual page kestrine-sim(1) tells
more.
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
  // The options given, in order, with their values.
  std::vector<std::pair<const Option*, std::string>> given;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                     [&](const Option& o) { return o.name == a[i]; });
    if (option == std::end(kOptions)) return usageError("unknown option '" + a[i] + "'");
    if (option->takesValue && i + 1 >= a.size()) return usageError(a[i] + " needs a value");
    given.emplace_back(option, option->takesValue ? a[++i] : "");
  }
  const auto value = [&](std::string_view name) -> std::optional<std::string> {
    const auto found = std::find_if(given.rbegin(), given.rend(),
                                    [&](const auto& g) { return g.first->name == name; });
    if (found == given.rend()) return std::nullopt;
    return found->second;
  };
  WhatIfOptions options;
  for (auto [name, into] : {std::pair{"--threshold", &options.threshold},
                            std::pair{"--target", &options.targetMinutes}}) {
    if (!value(name)) continue;
    const auto n = wholeNumber(*value(name));
    if (!n || *n < 0 || *n > 100000) return usageError(std::string(name) + " needs a whole number");
    *into = *n;
  }
  if (command != "demo" && command != "whatif" && command != "run")
    return usageError("unknown command '" + command + "'");
  // An option that another use takes is a mistake, not something to ignore.
  for (const auto& [option, _] : given) {
    if (std::find(option->commands.begin(), option->commands.end(), command) ==
        option->commands.end())
      return usageError(command + " takes no " + std::string(option->name));
  }

  RunHome home;
  if (command != "whatif") {
    if (command == "run" && !value("--scenario")) return usageError("run needs --scenario FILE");
    const ScenarioParse parsed = command == "demo"
                                     ? parseScenario(kDemoScenario, "demo.scenario", {})
                                     : loadScenario(*value("--scenario"));
    if (!parsed.scenario) {
      std::cerr << "kestrine-sim: " << parsed.error->str() << "\n";
      return 2;
    }
    if (const int status = home.make(value("--home"))) return status;
    if (command == "demo") {
      std::cout << "Kestrine on a virtual laptop: three days in a few seconds.\n"
                << "Its files go to " << home.path.string() << "\n"
                << "Columns: the time (UTC), the menu bar icon, the battery, what happened.\n\n";
    }
    return playScenarioFile(*parsed.scenario, home.path, value("--events"), command == "demo");
  }
  const auto format = value("--format");
  if (format && *format != "text" && *format != "json")
    return usageError("--format takes text or json");
  const bool json = value("--json") || format == "json";
  if (value("--json") && format == "text") return usageError("--json and --format text contradict");
  // Only the tests point it elsewhere.
  const char* folder = std::getenv("KESTRINE_SIM_UPOWER_DIR");
  const auto trace = whatIfTrace(value("--trace"), folder ? folder : kUpowerHistoryFolder);
  if (!trace) return 2;
  if (const int status = home.make(value("--home"))) return status;
  options.home = home.path;
  return reportWhatIf(*trace, options, value("--plot"), json);
}
