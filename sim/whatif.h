#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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
  std::vector<TracePoint> points;
  double duration() const { return points.empty() ? 0.0 : points.back().t; }
};

struct TraceParse {
  std::optional<Trace> trace;
  std::optional<InputError> error;
};

// CSV with the columns time,percent,charging (docs/simulator.md).
TraceParse parseTrace(std::string_view text, const std::string& fileName);
TraceParse loadTrace(const std::filesystem::path& path);

struct WhatIfOptions {
  std::int64_t threshold = 20;
  std::int64_t targetMinutes = 60;
  std::optional<std::filesystem::path> home;  // the two runs get sub-folders of it
  // The learning file is cut back to the newest `keepSnapshots` samples once it
  // holds more than `compactAbove`, by restarting the application at a moment
  // when a restart cannot change what it decides (see docs/simulator.md).
  // 0 turns this off.
  std::int64_t compactAbove = 4000;
  std::int64_t keepSnapshots = 400;
};

// When a mode switched Low Power Mode on.
struct SwitchPoint {
  double t = 0.0;
  std::int64_t level = 0;
  std::string how;  // "threshold", "prediction", "fallback" or "again" (silent re-switch)
};

struct ModeResult {
  std::string name;  // "Classic Threshold Mode" or "Smart AI Mode"
  std::vector<SwitchPoint> switches;
  // Smart AI Mode: the prediction at each pass on battery, where there was one.
  std::vector<std::pair<double, std::int64_t>> predictions;
  std::optional<double> readyAt;  // when the predictor first had enough data
  int restarts = 0;
};

struct Episode {
  double from = 0.0, to = 0.0;  // on battery from..to
  double startPercent = 0.0, endPercent = 0.0;
  bool pluggedIn = false;  // ended by plugging in (not by the end of the trace)
};

struct WhatIfResult {
  ModeResult classic, smart;
  std::vector<Episode> episodes;
  std::vector<std::pair<double, std::int64_t>> levels;  // the level at each pass
  std::int64_t passes = 0;
};

// Replays the trace through both modes with the real application.
WhatIfResult runWhatIf(const Trace& trace, const WhatIfOptions& options);
std::string whatIfReport(const Trace& trace, const WhatIfOptions& options,
                         const WhatIfResult& result);
std::string whatIfSvg(const Trace& trace, const WhatIfOptions& options, const WhatIfResult& result);

// The whole command: exit status 0, 1 (plot not written) or 2 (bad trace).
int runWhatIfCommand(const std::filesystem::path& trace, const WhatIfOptions& options,
                     const std::optional<std::string>& plot);

}  // namespace kestrine::sim
