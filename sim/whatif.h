#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ports/clock.h"
#include "sim/trace.h"

namespace kestrine::sim {

struct WhatIfOptions {
  std::int64_t threshold = 20;
  std::int64_t targetMinutes = 60;
  // The two runs get sub-folders of it for their settings; the learning
  // record is kept in memory.
  std::optional<std::filesystem::path> home;
};

// When a mode switched Low Power Mode on.
struct SwitchPoint {
  double t = 0.0;
  std::int64_t level = 0;
  std::string rule;  // "threshold", "prediction" or "fallback": the decision's own rule
  std::optional<std::int64_t> predictedMinutes;  // the prediction that decided it
};

struct ModeResult {
  std::vector<SwitchPoint> switches;
  // Smart AI Mode: the prediction at each pass on battery, where there was one.
  std::vector<std::pair<double, std::int64_t>> predictions;
  std::optional<double> readyAt;  // when the predictor first had enough data
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
  // The level at the launch check and at each pass.
  std::vector<std::pair<double, std::int64_t>> levels;
  std::int64_t passes = 0;
};

// The discharges: maximal stretches of rows on battery.
std::vector<Episode> dischargeEpisodes(const Trace& trace);

// Replays the trace through both modes with the real application.
WhatIfResult runWhatIf(const Trace& trace, const WhatIfOptions& options);

// The mode's first switch inside the discharge, with the minutes left, awake
// minutes only: until the trace reaches 0 %, or, where it is plugged in or
// ends first, that time plus what was left then at the average drain over the
// awake minutes since the switch.
EpisodeSwitch switchIn(const Trace& trace, const Episode& episode, const ModeResult& mode);

// --- Advice: which threshold would have left the target ---

// The minutes left in each discharge that reached a threshold, had Classic
// Threshold Mode been set to it.
struct ThresholdOutcome {
  std::int64_t threshold = 0;
  std::vector<double> minutesLeft;
};

// A threshold is judged only on at least this many discharges that reached it.
inline constexpr std::size_t kFewestDischargesToAdvise = 3;

struct ThresholdAdvice {
  // The lowest threshold that left at least the target in most discharges
  // that reached it (at least three in four); absent when none did or too few
  // discharges reached any.
  std::optional<std::int64_t> threshold;
  std::size_t fit = 0, reached = 0;  // for that threshold
  bool tooFew = false;               // no threshold reached in kFewestDischargesToAdvise
  bool lowerNotJudged = false;       // a lower threshold was reached in too few
  std::size_t mostReached = 0;       // the most discharges that reached any threshold
};

ThresholdAdvice adviseThreshold(const std::vector<ThresholdOutcome>& outcomes,
                                double targetMinutes);

// Each menu threshold's outcomes, from the levels the replay's passes saw:
// Classic Threshold Mode switches at the first pass on battery at or below it.
std::vector<ThresholdOutcome> thresholdOutcomes(const Trace& trace, const WhatIfResult& result);

// The reports (whatif_report.cpp): text, one JSON object, an SVG plot.
std::string whatIfReport(const Trace& trace, const WhatIfOptions& options,
                         const WhatIfResult& result);
std::string whatIfJson(const Trace& trace, const WhatIfOptions& options,
                       const WhatIfResult& result);
std::string whatIfSvg(const Trace& trace, const WhatIfOptions& options, const WhatIfResult& result);

// Where the power daemon keeps its histories.
inline constexpr const char* kUpowerHistoryFolder = "/var/lib/upower";

// The trace `whatif` reads: `given`, or else the newest charge history in
// `historyFolder`, named on standard error. Absent, with the reason on
// standard error, when there is none or it is malformed.
std::optional<Trace> whatIfTrace(const std::optional<std::filesystem::path>& given,
                                 const std::filesystem::path& historyFolder);

// Replays the trace in `options.home`, prints the report (as text or JSON) and
// writes the plot: exit status 0, or 1 when the plot cannot be written.
int reportWhatIf(const Trace& trace, const WhatIfOptions& options,
                 const std::optional<std::string>& plot, bool json);

}  // namespace kestrine::sim
