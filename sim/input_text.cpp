#include "sim/input_text.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/fake/calendar.h"

namespace kestrine::sim {

std::string InputError::str() const {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

bool Lines::next(std::string_view& line) {
  auto eol = rest_.find('\n');
  while (eol == std::string_view::npos && read_) {
    // What is left moves to the front; a line longer than the buffer doubles it.
    const std::size_t kept = rest_.size();
    if (kept == buffer_.size()) {
      std::vector<char> larger(std::max(2 * kept, std::size_t{1} << 20));
      std::copy(rest_.begin(), rest_.end(), larger.begin());
      buffer_.swap(larger);
    } else {
      std::memmove(buffer_.data(), rest_.data(), kept);
    }
    const std::ptrdiff_t got = read_(buffer_.data() + kept, buffer_.size() - kept);
    if (got <= 0) read_ = nullptr;
    rest_ = {buffer_.data(), kept + static_cast<std::size_t>(std::max<std::ptrdiff_t>(got, 0))};
    eol = rest_.find('\n', kept);
  }
  if (rest_.empty()) return false;
  line = rest_.substr(0, eol);
  rest_.remove_prefix(eol == std::string_view::npos ? rest_.size() : eol + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  ++number_;
  return true;
}

static std::optional<double> parseAnyDuration(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char unit = text.back();
  if (unit == 's' || unit == 'm' || unit == 'h' || unit == 'd') {
    const auto value = parseNumber(text.substr(0, text.size() - 1));
    if (!value || *value < 0) return std::nullopt;
    const double scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : 86400;
    return *value * scale;
  }
  double days = 0;
  if (const auto d = text.find('d'); d != std::string_view::npos) {
    const auto n = parseInteger(text.substr(0, d));
    if (!n || *n < 0) return std::nullopt;
    days = static_cast<double>(*n);
    text = text.substr(d + 1);
  }
  // H:MM or H:MM:SS
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto hours = parseInteger(text.substr(0, colon));
  const std::string_view rest = text.substr(colon + 1);
  const auto secondColon = rest.find(':');
  const std::string_view minutesText = rest.substr(0, secondColon);
  const auto minutes = parseInteger(minutesText);
  std::optional<double> seconds = 0.0;
  if (secondColon != std::string_view::npos) seconds = parseNumber(rest.substr(secondColon + 1));
  if (!hours || !minutes || !seconds || *hours < 0 || *minutes < 0 || *minutes > 59 ||
      minutesText.size() != 2 || *seconds < 0 || *seconds >= 60) {
    return std::nullopt;
  }
  return days * 86400 + static_cast<double>(*hours) * 3600 + static_cast<double>(*minutes) * 60 +
         *seconds;
}

std::optional<double> parseDuration(std::string_view text) {
  const auto seconds = parseAnyDuration(text);
  // Virtual time runs pass by pass: a longer span would never end.
  if (!seconds || *seconds > kLongestDuration) return std::nullopt;
  return seconds;
}

std::optional<WallTime> parseIsoTime(std::string_view text) {
  if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
  // YYYY-MM-DDTHH:MM[:SS]
  if (text.size() != 16 && text.size() != 19) return std::nullopt;
  if (text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') || text[13] != ':' ||
      (text.size() == 19 && text[16] != ':')) {
    return std::nullopt;
  }
  const auto year = parseInteger(text.substr(0, 4));
  const auto month = parseInteger(text.substr(5, 2));
  const auto day = parseInteger(text.substr(8, 2));
  const auto hour = parseInteger(text.substr(11, 2));
  const auto minute = parseInteger(text.substr(14, 2));
  const auto second =
      text.size() == 19 ? parseInteger(text.substr(17, 2)) : std::optional<long long>(0);
  if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *day < 1 ||
      *hour > 23 || *minute > 59 || *second > 59 ||
      !std::chrono::year_month_day(std::chrono::year(static_cast<int>(*year)) /
                                   static_cast<int>(*month) / static_cast<int>(*day))
           .ok()) {
    return std::nullopt;
  }
  return fake::wallTimeFromCivil(static_cast<int>(*year), static_cast<unsigned>(*month),
                                 static_cast<unsigned>(*day), static_cast<int>(*hour),
                                 static_cast<int>(*minute), static_cast<double>(*second));
}

}  // namespace kestrine::sim
