#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ports/clock.h"
#include "sim/input_text.h"

namespace kestrine::sim {

// One row of a battery trace.
struct TracePoint {
  double t = 0.0;  // seconds after the first row
  double percent = 0.0;
  bool charging = false;
};

struct Trace {
  std::string file;
  WallTime start = 0.0;  // the first row's wall-clock time
  bool dated = false;    // the rows carry real dates (else the times count from 0)
  // Each row is one check pass of the application, dated when the pass had
  // read the level: its own learning file.
  bool checkPasses = false;
  std::vector<TracePoint> points;
  // Stretches [from, to) in which no check runs: the machine asleep or off.
  std::vector<std::pair<double, double>> asleep;
  double duration() const { return points.empty() ? 0.0 : points.back().t; }
  // Seconds from `from` to `to` that are not asleep.
  double awakeSeconds(double from, double to) const;
  // A moment of the trace for people: "Sat 14 Mar 2026 10:05:30 UTC" for dated traces,
  // "day 1 10:05:30" otherwise.
  std::string timeText(double t) const;
};

struct TraceParse {
  std::optional<Trace> trace;
  std::optional<InputError> error;
};

// A gap between the learning file's 30-second rows longer than this is the
// machine asleep or off.
inline constexpr double kLearningGapSeconds = 600.0;
// The power daemon writes a row at least at every whole percent; on battery a
// longer stretch without one is the machine asleep or off.
inline constexpr double kDaemonGapSeconds = 1800.0;
// Larger trace files are refused before they are read whole: ten times the
// 50 MB of a second-by-second CSV of 20 days.
inline constexpr std::size_t kLargestTraceBytes = 512u << 20;

// Any of the three forms, told from the content (docs/simulator.md): CSV with
// the columns time, percent and charging; a history file of the power daemon
// (UNIX time, percent and state, tab-separated); or Kestrine's learning file.
// Dates before 1970 or from 2100 on are refused, as is a text with NUL bytes
// and the daemon's other histories (rates and times, not levels).
TraceParse parseTrace(std::string_view text, const std::string& fileName);
// The same on a file, read up to kLargestTraceBytes; a file that cannot be
// read is refused with the reason.
TraceParse loadTrace(const std::filesystem::path& path);

}  // namespace kestrine::sim
