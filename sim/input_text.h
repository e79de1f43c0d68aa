#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ports/clock.h"

// Reading the virtual laptop's input texts, shared by the scenario and trace
// parsers: the lines, the numbers and times they hold, and where a text is bad.
namespace kestrine::sim {

// A malformed input file: where and what.
struct InputError {
  std::string file;
  int line = 0;  // 0: the file as a whole
  std::string message;
  std::string str() const;  // "file:line: message"
};

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

// A whole number that is the whole of `text` ("-3", "42"); absent otherwise.
std::optional<long long> parseInteger(std::string_view text);
// A finite number that is the whole of `text` ("50", "0.25"; no blanks, no "+");
// absent otherwise.
std::optional<double> parseNumber(std::string_view text);
// The longest span a scenario or trace may name: a virtual year and a bit.
inline constexpr double kLongestDuration = 400.0 * 86400.0;
// "1:30:00", "2d3:00:00", "90s", "5m", "2h", "1d" in seconds; absent when
// malformed or longer than kLongestDuration.
std::optional<double> parseDuration(std::string_view text);
// "2026-03-14T09:00:00" or with a trailing "Z": UTC.
std::optional<WallTime> parseIsoTime(std::string_view text);

}  // namespace kestrine::sim
