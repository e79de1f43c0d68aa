#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ports/clock.h"
#include "prediction/prediction_data.h"

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

// `s` without leading and trailing blanks, tabs and carriage returns.
inline std::string_view trimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// Walks the lines of an input text, in memory or read in pieces, counting them
// from 1; a line ends with "\n" or "\r\n". A line is valid until the next one
// is asked for.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}
  explicit Lines(TextReader read) : read_(std::move(read)) {}
  bool next(std::string_view& line);
  int number() const { return number_; }

 private:
  TextReader read_;  // empty once the text has ended
  std::vector<char> buffer_;
  std::string_view rest_;  // not yet given out
  int number_ = 0;
};

// A finite number that is the whole of `text` ("42", "-3", "0.25"; no blanks,
// no "+"); absent otherwise.
template <typename Number>
std::optional<Number> parseAs(std::string_view text) {
  Number value{};
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(static_cast<double>(value))) return {};
  return value;
}
inline std::optional<long long> parseInteger(std::string_view text) {
  return parseAs<long long>(text);
}
inline std::optional<double> parseNumber(std::string_view text) { return parseAs<double>(text); }
// The longest span a scenario or trace may name: a virtual year and a bit.
inline constexpr double kLongestDuration = 400.0 * 86400.0;
// "1:30:00", "2d3:00:00", "90s", "5m", "2h", "1d" in seconds; absent when
// malformed or longer than kLongestDuration.
std::optional<double> parseDuration(std::string_view text);
// "2026-03-14T09:00:00" or with a trailing "Z": UTC.
std::optional<WallTime> parseIsoTime(std::string_view text);

}  // namespace kestrine::sim
