#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ports/clock.h"
#include "sim/laptop_run.h"

namespace kestrine::sim {

// A malformed input file: where and what.
struct InputError {
  std::string file;
  int line = 0;  // 0: the file as a whole
  std::string message;
  std::string str() const;  // "file:line: message"
};

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

// The whole content of an input file (a scenario, a trace, a "file-from"
// source); absent when it cannot be opened.
std::optional<std::string> readInputFile(const std::filesystem::path& path);

// `s` without leading and trailing blanks, tabs and carriage returns.
inline std::string_view trimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// Walks the lines of an input text, counting them from 1; a line ends with
// "\n" or "\r\n".
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    auto eol = text_.find('\n', pos_);
    if (eol == std::string_view::npos) eol = text_.size();
    line = text_.substr(pos_, eol - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = eol + 1;
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

// A finite number that is the whole of `text` ("50", "0.25"; no blanks, no "+");
// absent otherwise.
std::optional<double> parseNumber(std::string_view text);
// The longest span a scenario or trace may name: a virtual year and a bit.
inline constexpr double kLongestDuration = 400.0 * 86400.0;
// The most virtual time a scenario's sleeps and answer delays may pass beyond
// its timeline. With the start between 1970 and 2100 and the end within
// kLongestDuration, every moment of a run stays a date before 2210 that any
// clock and calendar can hold.
inline constexpr double kLongestWait = 100.0 * 365.25 * 86400.0;
// "1:30:00", "2d3:00:00", "90s", "5m", "2h", "1d" in seconds; absent when
// malformed or longer than kLongestDuration.
std::optional<double> parseDuration(std::string_view text);
// "2026-03-14T09:00:00" or with a trailing "Z": UTC.
std::optional<WallTime> parseIsoTime(std::string_view text);

// Plays the scenario on `run`: home files, the steps at 0:00, launch, the
// timeline, then the clock runs on to the end.
void playScenario(const Scenario& scenario, LaptopRun& run);

}  // namespace kestrine::sim
