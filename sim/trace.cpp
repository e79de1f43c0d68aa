#include "sim/trace.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/fake/calendar.h"
#include "prediction/prediction_data.h"
#include "storage/file_store.h"

namespace kestrine::sim {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
// A date seconds count cannot reach before the year 5000: such times are milliseconds.
constexpr double kMillisecondsFrom = 1e11;
// From here on a plain number of seconds is a UNIX time, not an offset (2001-09-09).
constexpr double kUnixTimesFrom = 1e9;
// 2100-01-01 00:00 UTC: later dates are refused.
constexpr double kUnixYear2100 = 4102444800.0;

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::size_t split(std::string_view line, char separator, std::array<std::string_view, 8>& fields) {
  std::size_t count = 0;
  std::size_t start = 0;
  while (true) {
    const auto end = line.find(separator, start);
    if (count < fields.size()) fields[count] = trimBlanks(line.substr(start, end - start));
    ++count;
    if (end == std::string_view::npos) return count;
    start = end + 1;
  }
}

using Failure = std::pair<int, std::string>;  // the line (0: the whole file) and what is wrong

// Checks shared by every form; times already count from the first row.
std::optional<Failure> checkPoints(const Trace& trace) {
  if (trace.points.size() < 2) return Failure{0, "a trace needs at least two rows"};
  if (trace.duration() > kLongestDuration) {
    return Failure{0, "the trace spans more than 400 days; are the times in seconds?"};
  }
  if (trace.dated) {
    const double first = trace.start + kUnixToReferenceSeconds;
    if (!(first >= 0.0 && first + trace.duration() < kUnixYear2100)) {
      return Failure{0, "the trace is dated before 1970 or after 2099; are the times in seconds?"};
    }
  }
  if (std::all_of(trace.points.begin(), trace.points.end(),
                  [](const TracePoint& p) { return p.percent <= 1.0; })) {
    return Failure{0,
                   "every percent lies between 0 and 1; give them from 0 to 100, not as fractions"};
  }
  return std::nullopt;
}

// --- CSV ----------------------------------------------------------------------

enum Column { kTime, kPercent, kCharging };

std::optional<Column> columnNamed(std::string_view name) {
  const std::string n = lower(name);
  if (n == "time" || n == "timestamp") return kTime;
  if (n == "percent" || n == "level" || n == "battery" || n == "battery_percent") return kPercent;
  if (n == "charging" || n == "ac" || n == "on_ac") return kCharging;
  return std::nullopt;
}

constexpr const char* kColumnNames[] = {"time (or timestamp)",
                                        "percent (or level, battery, battery_percent)",
                                        "charging (or ac, on_ac)"};

std::optional<Failure> parseCsv(Lines& lines, Trace& trace) {
  const auto fail = [&](std::string message) {
    return Failure{lines.number(), std::move(message)};
  };
  std::string_view line;
  std::array<std::string_view, 8> fields;
  std::array<std::size_t, 3> index = {0, 1, 2};
  std::size_t width = 3;
  bool first = true;
  std::optional<bool> dates;  // ISO dates rather than numbers
  double firstTime = 0.0;
  while (lines.next(line)) {
    line = trimBlanks(line);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t count = split(line, ',', fields);
    if (first) {
      first = false;
      if (count == 1 && line.find_first_of(";\t") != std::string_view::npos) {
        return fail("the columns are separated by '" +
                    std::string(line[line.find_first_of(";\t")] == ';' ? ";" : "a tab") +
                    "'; separate columns with commas");
      }
      if (!parseNumber(fields[0]) && !parseIsoTime(fields[0])) {
        // A header: the three columns by name, in any order.
        std::array<std::optional<std::size_t>, 3> found;
        for (std::size_t i = 0; i < std::min(count, fields.size()); ++i) {
          if (const auto c = columnNamed(fields[i]); c && !found[*c]) found[*c] = i;
        }
        for (int c = kTime; c <= kCharging; ++c) {
          if (!found[c]) {
            return fail(std::string("the header names no ") + kColumnNames[c] + " column");
          }
          index[c] = *found[c];
        }
        width = count;
        continue;
      }
    }
    if (count != width) {
      return fail("expected " + std::to_string(width) + " columns, found " + std::to_string(count));
    }
    const std::string_view timeText = fields[index[kTime]];
    const auto seconds = parseNumber(timeText);
    const auto wall = seconds ? std::nullopt : parseIsoTime(timeText);
    if (!seconds && !wall) {
      return fail("bad time '" + std::string(timeText) + "' (seconds, or 2026-03-14T09:00:00Z)");
    }
    if (seconds && std::fabs(*seconds) >= kMillisecondsFrom) {
      return fail("time '" + std::string(timeText) +
                  "' is too large for seconds; milliseconds are not taken");
    }
    if (dates && *dates != wall.has_value()) {
      return fail("times mix seconds and dates; use one form for the whole trace");
    }
    const double time = wall ? *wall : *seconds;
    if (!dates) {
      dates = wall.has_value();
      firstTime = time;
      trace.dated = wall || *seconds >= kUnixTimesFrom;
    }
    TracePoint point;
    point.t = time - firstTime;
    if (time < 0) return fail("negative time '" + std::string(timeText) + "'");
    const std::string_view percentText = fields[index[kPercent]];
    const auto percent = parseNumber(percentText);
    if (!percent || *percent < 0 || *percent > 100) {
      return fail("bad percent '" + std::string(percentText) + "' (a number from 0 to 100)");
    }
    point.percent = *percent;
    const std::string c = lower(fields[index[kCharging]]);
    point.charging = c == "1" || c == "true" || c == "yes";
    if (!point.charging && c != "0" && c != "false" && c != "no")
      return fail("bad charging value '" + c + "' (1/0, true/false or yes/no)");
    if (!trace.points.empty() && point.t <= trace.points.back().t) {
      return fail("time does not increase");
    }
    trace.points.push_back(point);
  }
  if (trace.dated) {
    trace.start = *dates ? firstTime : firstTime - kUnixToReferenceSeconds;
  }
  return std::nullopt;
}

// --- the power daemon's history -------------------------------------------------

// "charging", "discharging", ...: on mains or not; absent for "unknown".
std::optional<std::optional<bool>> daemonState(std::string_view state) {
  if (state == "charging" || state == "fully-charged" || state == "pending-charge") return {true};
  if (state == "discharging" || state == "empty" || state == "pending-discharge") return {false};
  if (state == "unknown") return std::optional<bool>{};
  return std::nullopt;
}

std::optional<Failure> parseDaemonHistory(Lines& lines, Trace& trace) {
  const auto fail = [&](std::string message) {
    return Failure{lines.number(), std::move(message)};
  };
  std::string_view line;
  std::array<std::string_view, 8> fields;
  bool charging = false;
  double firstTime = 0.0;
  while (lines.next(line)) {
    line = trimBlanks(line);
    if (line.empty()) continue;
    if (split(line, '\t', fields) != 3) {
      return fail("expected UNIX time, percent and state, tab-separated");
    }
    const auto time = parseNumber(fields[0]);
    const auto percent = parseNumber(fields[1]);
    const auto state = daemonState(fields[2]);
    if (!time || *time < 0 || *time >= kMillisecondsFrom) {
      return fail("bad time '" + std::string(fields[0]) + "'");
    }
    if (!percent || *percent < 0 || *percent > 100) {
      return fail("level '" + std::string(fields[1]) + "' is not a percent from 0 to 100");
    }
    if (!state) return fail("unknown state '" + std::string(fields[2]) + "'");
    // The daemon writes a row of 0 and "unknown" each time it starts.
    if (!*state && *percent == 0.0) continue;
    if (*state) charging = **state;
    if (trace.points.empty()) firstTime = *time;
    const TracePoint point{*time - firstTime, *percent, charging};
    if (!trace.points.empty() && point.t < trace.points.back().t) {
      return fail("time goes backwards");
    }
    // Two rows in one second: the later one holds.
    if (!trace.points.empty() && point.t == trace.points.back().t) {
      trace.points.back() = point;
    } else {
      trace.points.push_back(point);
    }
  }
  trace.dated = true;
  trace.start = firstTime - kUnixToReferenceSeconds;
  // A charge history falls on battery; the daemon's rate and time histories,
  // in the same form, go up and down.
  std::size_t pairs = 0, rises = 0;
  for (std::size_t i = 0; i + 1 < trace.points.size(); ++i) {
    const TracePoint& p = trace.points[i];
    const TracePoint& q = trace.points[i + 1];
    if (p.charging) continue;
    if (!q.charging) {
      ++pairs;
      if (q.percent > p.percent) ++rises;
    }
    if (q.t - p.t > kDaemonGapSeconds) trace.asleep.emplace_back(p.t, q.t);
  }
  if (rises >= 3 && rises * 4 > pairs) {
    return Failure{0, "the values rise on battery " + std::to_string(rises) + " times in " +
                          std::to_string(pairs) +
                          " rows: a rate or time history, not the charge history "
                          "(history-charge-*.dat)"};
  }
  return std::nullopt;
}

// --- Kestrine's learning file -----------------------------------------------------

std::optional<Failure> parseLearningFile(const TextReader& read, std::size_t size, Trace& trace) {
  const PredictionDecodeResult decoded = decodePredictionData(read, size);
  if (!decoded.data) return Failure{0, "not a readable learning file: " + decoded.error};
  const auto& snapshots = decoded.data->snapshots;
  if (snapshots.empty()) return Failure{0, "the learning file holds no samples"};
  trace.points.reserve(snapshots.size());
  trace.dated = true;
  trace.checkPasses = true;
  trace.start = snapshots.front().timestamp;
  for (const BatterySnapshot& s : snapshots) {
    const double t = s.timestamp - trace.start;
    if (!std::isfinite(t) || s.batteryPercent < 0 || s.batteryPercent > 100) {
      return Failure{0, "the learning file holds a sample that is no battery reading"};
    }
    // A clock set back leaves older-looking rows behind: they are left out.
    if (!trace.points.empty() && t <= trace.points.back().t) continue;
    if (!trace.points.empty() && t - trace.points.back().t > kLearningGapSeconds) {
      trace.asleep.emplace_back(trace.points.back().t, t);
    }
    trace.points.push_back({t, static_cast<double>(s.batteryPercent), s.isCharging});
  }
  return std::nullopt;
}

// Why a trace file cannot be opened, by the system's reason (0: it is no regular file).
std::string openFailure(int errorNumber) {
  switch (errorNumber) {
    case 0:
      return "not a regular file";
    case ENOENT:
      return "no such file";
    case EACCES:
      return "permission denied";
    case EISDIR:
      return "is a directory";
    default:
      return "cannot be read: " + std::generic_category().message(errorNumber);
  }
}

// A reader of the text from the byte `offset` on, asked again for each pass
// over the text, which is never held whole: memory follows the rows, not the
// size of the file. Only the newest reader is read.
using TextFrom = std::function<TextReader(std::size_t offset)>;

// The first character that is neither blank nor a line end; 0 when none.
char firstVisibleCharacter(const TextReader& read) {
  char chunk[4096];
  for (std::ptrdiff_t got; (got = read(chunk, sizeof chunk)) > 0;) {
    const std::string_view piece(chunk, static_cast<std::size_t>(got));
    const auto at = piece.find_first_not_of(" \t\r\n");
    if (at != std::string_view::npos) return piece[at];
  }
  return 0;
}

TraceParse readTrace(const TextFrom& from, const std::string& fileName) {
  const auto refuse = [&](int line, std::string message) {
    return TraceParse{std::nullopt, InputError{fileName, line, std::move(message)}};
  };
  // A first pass over the bytes, never trusting the size a file claims: the
  // size, the lines (which reserve the rows at once), a byte order mark, and
  // whether it is text at all.
  std::size_t size = 0;
  std::size_t lines = 1;
  bool nul = false;
  std::string start;
  {
    std::vector<char> chunk(std::size_t{1} << 20);
    const TextReader read = from(0);
    for (std::ptrdiff_t got; (got = read(chunk.data(), chunk.size())) != 0;) {
      if (got < 0) return refuse(0, "cannot be read: " + std::generic_category().message(errno));
      const std::string_view piece(chunk.data(), static_cast<std::size_t>(got));
      size += piece.size();
      if (size > kLargestTraceBytes) {
        return refuse(0,
                      "larger than " + std::to_string(kLargestTraceBytes >> 20) + " MiB; not read");
      }
      if (start.size() < kBom.size()) start += piece.substr(0, kBom.size() - start.size());
      nul = nul || piece.find('\0') != std::string_view::npos;
      lines += static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n'));
    }
  }
  if (nul) return refuse(0, "not a text file");
  // The daemon keeps its rates (watts) and times (seconds) in the same form
  // as its charge levels.
  const std::string base = std::filesystem::path(fileName).filename().string();
  if (base.starts_with("history-rate-") || base.starts_with("history-time-")) {
    return refuse(0, std::string("the power daemon's ") +
                         (base[8] == 'r' ? "rate history (watts)" : "time history (seconds)") +
                         ", not its charge history: give history-charge-*.dat");
  }
  const std::size_t bom = start == kBom ? kBom.size() : 0;
  bool failed = false;  // a read after the first pass
  const auto text = [&] {
    return [&failed, read = from(bom)](char* into, std::size_t room) {
      const std::ptrdiff_t got = read(into, room);
      failed = failed || got < 0;
      return got;
    };
  };
  Trace trace;
  trace.file = fileName;
  trace.start = fake::wallTimeFromCivil(2026, 3, 14, 0, 0, 0.0);
  // Told by the first line that is not blank: a learning file is one line
  // of it all, so its first character is looked at before any line is read.
  std::optional<Failure> failure;
  if (firstVisibleCharacter(text()) == '{') {
    failure = parseLearningFile(text(), size - bom, trace);
  } else {
    Lines probe(text());
    std::string_view line;
    while (probe.next(line) && trimBlanks(line).empty()) {
    }
    std::array<std::string_view, 8> fields;
    const bool daemon = split(trimBlanks(line), '\t', fields) == 3 && daemonState(fields[2]);
    trace.points.reserve(lines);
    Lines rows(text());
    failure = daemon ? parseDaemonHistory(rows, trace) : parseCsv(rows, trace);
  }
  if (failed) return refuse(0, "cannot be read to its end");
  if (!failure) failure = checkPoints(trace);
  if (failure) return refuse(failure->first, std::move(failure->second));
  return TraceParse{std::move(trace), std::nullopt};
}

}  // namespace

std::string Trace::timeText(double t) const {
  if (dated) return fake::formatUtc(start + t + 0.5, "%a %d %b %Y %H:%M:%S UTC");
  const auto total = static_cast<long long>(std::floor(t + 0.5));
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "day %lld %02lld:%02lld:%02lld", total / 86400 + 1,
                total % 86400 / 3600, total % 3600 / 60, total % 60);
  return buffer;
}

double Trace::awakeSeconds(double from, double to) const {
  double seconds = std::max(0.0, to - from);
  for (const auto& [sleepFrom, sleepTo] : asleep) {
    seconds -= std::max(0.0, std::min(to, sleepTo) - std::max(from, sleepFrom));
  }
  return std::max(0.0, seconds);
}

TraceParse parseTrace(std::string_view text, const std::string& fileName) {
  return readTrace(
      [text](std::size_t offset) -> TextReader {
        return [rest = text.substr(offset)](char* into, std::size_t room) mutable {
          const std::size_t count = std::min(room, rest.size());
          std::copy_n(rest.data(), count, into);
          rest.remove_prefix(count);
          return static_cast<std::ptrdiff_t>(count);
        };
      },
      fileName);
}

TraceParse loadTrace(const std::filesystem::path& path) {
  // Opened as the application opens its own files (a FIFO does not stall it);
  // the size the file claims is not trusted: the reading counts the bytes.
  const OpenedFile file = openRegularFile(path, std::numeric_limits<std::size_t>::max());
  if (!file.fd.valid()) {
    return TraceParse{std::nullopt, InputError{path.string(), 0, openFailure(file.errorNumber)}};
  }
  return readTrace(
      [&file](std::size_t offset) -> TextReader {
        ::lseek(file.fd.get(), static_cast<off_t>(offset), SEEK_SET);
        return [&file](char* into, std::size_t room) { return readPiece(file.fd, into, room); };
      },
      path.string());
}

}  // namespace kestrine::sim
