#include "sim/input_text.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "platform/fake/calendar.h"
#include "storage/file_store.h"

namespace kestrine::sim {

std::string InputError::str() const {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

std::optional<long long> parseInteger(std::string_view text) {
  long long value = 0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::optional<std::string> readInputFile(const std::filesystem::path& path) {
  // The application's own reader: a directory or a FIFO in the file's place is
  // refused instead of read as empty or waited on.
  return readWholeFile(path).bytes;
}

std::optional<double> parseNumber(std::string_view text) {
  double value = 0.0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
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
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const auto colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  const auto hours = parseInteger(parts[0]);
  const auto minutes = parseInteger(parts[1]);
  std::optional<double> seconds = 0.0;
  if (parts.size() == 3) seconds = parseNumber(parts[2]);
  if (!hours || !minutes || !seconds || *hours < 0 || *minutes < 0 || *minutes > 59 ||
      parts[1].size() != 2 || *seconds < 0 || *seconds >= 60) {
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
  if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *month > 12 ||
      *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  if (*day > kDays[*month - 1] || (*month == 2 && *day == 29 && !leap)) return std::nullopt;
  return fake::wallTimeFromCivil(static_cast<int>(*year), static_cast<unsigned>(*month),
                                 static_cast<unsigned>(*day), static_cast<int>(*hour),
                                 static_cast<int>(*minute), static_cast<double>(*second));
}

}  // namespace kestrine::sim
