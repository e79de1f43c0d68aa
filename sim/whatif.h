#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/clock.h"
#include "sim/trace.h"

namespace kestrine::sim {

struct WhatIfOptions {
  std::int64_t threshold = 20;
  std::int64_t targetMinutes = 60;
  std::optional<std::filesystem::path> home;  // the two runs get sub-folders of it
  // The learning file is cut back to the newest `keepSnapshots` samples once it
  // holds more than `compactAbove`, by restarting the application at a moment
  // when a restart cannot change what it decides (see docs/simulator.md).
  // 0 turns this off.
  std::int64_t compactAbove = 240;
  std::int64_t keepSnapshots = 120;
};

// When a mode switched Low Power Mode on.
struct SwitchPoint {
  double t = 0.0;
  std::int64_t level = 0;
  std::string rule;  // "threshold", "prediction" or "fallback": the decision's own rule
  std::optional<std::int64_t> predictedMinutes;  // the prediction that decided it
  bool operator==(const SwitchPoint&) const = default;
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
  bool pluggedIn = false;           // ended by plugging in (not by the end of the trace)
  std::size_t first = 0, last = 0;  // its rows on battery
};

// What one mode did in one discharge: its first switch, and the minutes the
// battery actually had left then, measured on the trace (absent when the
// trace shows no drain after the switch).
struct EpisodeSwitch {
  const SwitchPoint* at = nullptr;
  std::optional<double> minutesLeft;
};

struct WhatIfResult {
  ModeResult classic, smart;
  std::vector<Episode> episodes;
  std::vector<std::pair<double, std::int64_t>> levels;  // the level at each pass
  std::int64_t passes = 0;
};

// The discharges: maximal stretches of rows on battery.
std::vector<Episode> dischargeEpisodes(const Trace& trace);

// Replays the trace through both modes with the real application.
WhatIfResult runWhatIf(const Trace& trace, const WhatIfOptions& options);

// The mode's first switch inside the discharge, with the minutes left: until
// the trace reaches 0 %, or, where it is plugged in or ends first, that time
// plus what was left then at the average drain since the switch.
EpisodeSwitch switchIn(const Trace& trace, const Episode& episode, const ModeResult& mode);

// The reports (whatif_report.cpp): text, one JSON object, an SVG plot.
std::string whatIfReport(const Trace& trace, const WhatIfOptions& options,
                         const WhatIfResult& result);
std::string whatIfJson(const Trace& trace, const WhatIfResult& result);
std::string whatIfSvg(const Trace& trace, const WhatIfOptions& options, const WhatIfResult& result);

enum class ReportFormat { kText, kJson };

// The whole command: exit status 0, 1 (plot not written) or 2 (bad trace).
int runWhatIfCommand(const std::filesystem::path& trace, const WhatIfOptions& options,
                     const std::optional<std::string>& plot, ReportFormat format);

}  // namespace kestrine::sim
