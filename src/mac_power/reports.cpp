#include "mac_power/reports.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "storage/utf8.h"

namespace kestrine {

namespace {

constexpr std::string_view kCurrentCapacity = "Current Capacity";

bool contains(std::string_view text, std::string_view piece) {
  return text.find(piece) != std::string_view::npos;
}

// Only ASCII letters change: no other character lowers to one of the letters of
// the keys looked for, so this finds exactly what a full Unicode lowering finds.
std::string asciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The pieces of `text` between `separator` characters, empty ones included;
// what follows the last separator is a piece too.
std::vector<std::string_view> cutAt(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

// Pieces of a line between U+0020 characters; empty pieces are dropped. Tabs and
// other blanks stay inside the pieces.
std::vector<std::string_view> spaceSeparatedPieces(std::string_view line) {
  std::vector<std::string_view> pieces = cutAt(line, ' ');
  std::erase_if(pieces, [](std::string_view piece) { return piece.empty(); });
  return pieces;
}

// The lines of a report: cut at line feeds, a carriage return stays part of its line.
std::vector<std::string_view> lineFeedLines(std::string_view text) { return cutAt(text, '\n'); }

// High Power Mode capable Macs print the setting as `powermode` (0 automatic,
// 1 low, 2 high) instead of `lowpowermode`.
bool isPowerModeSettingLine(const std::vector<std::string_view>& pieces) {
  return !pieces.empty() && asciiLower(pieces.front()) == "powermode";
}

}  // namespace

std::optional<std::int64_t> batteryLevelFromSources(const std::optional<PowerSourceList>& sources) {
  if (!sources) return std::nullopt;
  for (const auto& description : *sources) {
    if (!description) continue;
    const auto entry = description->find(std::string(kCurrentCapacity));
    if (entry == description->end()) continue;
    if (const auto* whole = std::get_if<std::int64_t>(&entry->second)) return *whole;
  }
  return std::nullopt;
}

bool batteryReportSaysOnBattery(std::string_view reportBytes) {
  return isValidUtf8(reportBytes) && contains(reportBytes, "Battery Power");
}

std::optional<std::int64_t> powerModeFromCustomReport(std::string_view reportBytes) {
  if (!isValidUtf8(reportBytes)) return std::nullopt;

  bool inBatterySection = false;
  for (const std::string_view line : lineFeedLines(reportBytes)) {
    if (contains(line, "Battery Power:")) {
      inBatterySection = true;
      continue;
    }
    if (contains(line, "AC Power:")) {
      inBatterySection = false;
      continue;
    }
    if (!inBatterySection) continue;

    const auto pieces = spaceSeparatedPieces(line);
    if (!contains(asciiLower(line), "lowpowermode") && !isPowerModeSettingLine(pieces)) continue;
    if (pieces.empty()) continue;
    if (auto value = parseDecimalInt64(pieces.back())) return value;
  }
  return std::nullopt;
}

namespace {

std::string_view trimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A sudoers tag as sudo lists it: capitals (and '_') then ':', as in
// "NOPASSWD:" or "SETENV:".
bool isTag(std::string_view word) {
  return word.size() > 1 && word.back() == ':' &&
         word.substr(0, word.size() - 1).find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") ==
             std::string_view::npos;
}

// Whether one entry of the listing ("(runas) TAGS: cmd, (runas) TAGS: cmd, ...")
// allows `broad` without a password. A runas list and tags carry over to the
// commands after them in the entry until another one replaces them.
bool entryAllowsWithoutPassword(std::string_view entry, std::string_view broad) {
  bool noPassword = false;
  for (std::string_view command : cutAt(entry, ',')) {
    command = trimBlanks(command);
    if (command.starts_with('(')) {
      const std::size_t close = command.find(')');
      if (close == std::string_view::npos) return false;
      command = trimBlanks(command.substr(close + 1));
    }
    for (;;) {
      const std::size_t blank = std::min(command.find(' '), command.size());
      const std::string_view word = command.substr(0, blank);
      if (!isTag(word)) break;
      if (word == "NOPASSWD:") noPassword = true;
      if (word == "PASSWD:") noPassword = false;
      command = trimBlanks(command.substr(blank));
    }
    if (noPassword && command == broad) return true;
  }
  return false;
}

}  // namespace

bool sudoListingShowsBroadRule(std::string_view listing, std::string_view pmsetPath) {
  const std::string broad = std::string(pmsetPath) + " -b lowpowermode *";
  // Entries are indented by 4 blanks; sudo breaks a long one at a blank and
  // indents the rest of it by 8.
  std::string entry;
  const auto showsBroad = [&] { return entryAllowsWithoutPassword(entry, broad); };
  for (std::string_view line : lineFeedLines(listing)) {
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string_view::npos) continue;
    line.remove_prefix(indent);
    if (indent > 4 && !entry.empty()) {
      entry += ' ';
    } else {
      if (showsBroad()) return true;
      entry.clear();
    }
    entry += line;
  }
  return showsBroad();
}

std::optional<std::int64_t> parseDecimalInt64(std::string_view text) {
  // One optional sign; from_chars takes a '-' but no '+'.
  std::size_t digitsFrom = 0;
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  } else if (!text.empty() && text.front() == '-') {
    digitsFrom = 1;
  }
  if (text.size() == digitsFrom) return std::nullopt;
  for (std::size_t i = digitsFrom; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace kestrine
