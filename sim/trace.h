#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ports/clock.h"
#include "sim/scenario.h"

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
  std::vector<TracePoint> points;
  // Stretches [from, to) in which no check runs: the machine asleep or off.
  std::vector<std::pair<double, double>> asleep;
  double duration() const { return points.empty() ? 0.0 : points.back().t; }
  // A moment of the trace for people: "Sat 14 Mar 10:05:30" for dated traces,
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

// Any of the three forms, told from the content (docs/simulator.md): CSV with
// the columns time, percent and charging; a history file of the power daemon
// (UNIX time, percent and state, tab-separated); or Kestrine's learning file.
TraceParse parseTrace(std::string_view text, const std::string& fileName);
TraceParse loadTrace(const std::filesystem::path& path);

}  // namespace kestrine::sim
