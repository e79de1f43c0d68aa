#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ports/clock.h"
#include "sim/input_text.h"
#include "sim/laptop_run.h"

namespace kestrine::sim {

// One timed line of a scenario.
struct ScenarioStep {
  double at = 0.0;  // seconds after the start
  int line = 0;
  std::string keyword;            // "battery", "plug", "menu", ...
  std::vector<std::string> args;  // the words after the keyword
  std::string text;               // report text, file content, button title
  double number = 0.0;            // the step's number, where it has one
  std::int64_t whole = 0;         // the step's whole number, where it has one
  double seconds = 0.0;           // "after" delays
};

struct Scenario {
  std::string file;
  WallTime start = 0.0;
  std::string user = "alice";
  std::vector<std::pair<std::string, std::string>> homeFiles;  // name, content
  double end = 0.0;
  std::vector<ScenarioStep> steps;  // in time order
};

struct ScenarioParse {
  std::optional<Scenario> scenario;
  std::optional<InputError> error;
};

// Reads the line-oriented scenario format (docs/simulator.md). `baseDir` is
// where "file-from" paths are looked up.
ScenarioParse parseScenario(std::string_view text, const std::string& fileName,
                            const std::filesystem::path& baseDir);
ScenarioParse loadScenario(const std::filesystem::path& path);

// The most virtual time a scenario's sleeps and answer delays may pass beyond
// its timeline. With the start between 1970 and 2100 and the end within
// kLongestDuration, every moment of a run stays a date before 2210 that any
// clock and calendar can hold.
inline constexpr double kLongestWait = 100.0 * 365.25 * 86400.0;

// Plays the scenario on `run`: home files, the steps at 0:00, launch, the
// timeline, then the clock runs on to the end. False, having launched nothing,
// when a home file cannot be written.
bool playScenario(const Scenario& scenario, LaptopRun& run);

// Plays the scenario in `home`. Its events go as JSON lines to the file
// `events` ("-": standard output); told as a timeline as well with `tell`, or
// when they go nowhere else. Returns the exit status.
int playScenarioFile(const Scenario& scenario, const std::filesystem::path& home,
                     const std::optional<std::string>& events, bool tell);

// The demo: examples/demo.scenario, built in.
extern const std::string_view kDemoScenario;

}  // namespace kestrine::sim
