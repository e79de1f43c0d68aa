#include "sim/whatif.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/check_cycle.h"
#include "platform/sim/virtual_clock.h"
#include "prediction/battery_predictor.h"
#include "prediction/prediction_data.h"
#include "settings/config.h"
#include "sim/laptop_run.h"
#include "storage/file_store.h"

namespace kestrine::sim {

namespace {

constexpr double kPassSeconds = 30.0;

const char* ruleName(LowBatteryRule rule) {
  switch (rule) {
    case LowBatteryRule::kSmart:
      return "prediction";
    case LowBatteryRule::kFallback:
      return "fallback";
    case LowBatteryRule::kThreshold:
      break;
  }
  return "threshold";
}

// Cuts the learning file back to its newest samples; the count of days and the
// other fields stay.
void compactLearningFile(const std::filesystem::path& home, std::int64_t keep) {
  const auto path = BatteryPredictor::dataPath(home);
  const auto read = readWholeFile(path);
  if (!read.bytes) return;
  auto decoded = decodePredictionData(*read.bytes);
  if (!decoded.data) return;
  auto& snapshots = decoded.data->snapshots;
  if (static_cast<std::int64_t>(snapshots.size()) > keep) {
    snapshots.erase(snapshots.begin(), snapshots.end() - keep);
  }
  if (const auto encoded = encodePredictionData(*decoded.data)) writeFileSafely(path, *encoded);
}

ModeResult replay(const Trace& trace, const WhatIfOptions& options, bool smart,
                  WhatIfResult* shared) {
  ModeResult result;
  result.name = smart ? "Smart AI Mode" : "Classic Threshold Mode";
  LaptopRunOptions runOptions;
  runOptions.start = trace.start;
  runOptions.recordEvents = false;
  if (options.home) {
    runOptions.home = *options.home / (smart ? "smart" : "classic");
    std::filesystem::create_directories(*runOptions.home);
    std::filesystem::remove(BatteryPredictor::dataPath(*runOptions.home));
  }
  LaptopRun run(runOptions);
  VirtualLaptop& machine = run.laptop();
  machine.installRule();
  machine.battery().setDrainPerMinute(0.0);
  machine.battery().setChargePerMinute(0.0);
  machine.battery().setPercent(trace.points.front().percent);
  machine.battery().setOnMains(trace.points.front().charging);

  Config config;
  config.threshold = options.threshold;
  config.setupComplete = true;
  config.useSmartMode = smart;
  config.smartModeTargetMinutes = options.targetMinutes;
  run.writeHomeFile(".kestrine_config.json", encodeConfig(config));

  machine.onToolRun = [&](const ToolRequest& request, const ToolResult& r) {
    // `sudo -n -l` at a restart lists the rule; it switches nothing.
    const bool switches = request.program == machine.tools().osascript ||
                          (request.program == machine.tools().sudo &&
                           request.arguments != std::vector<std::string>{"-n", "-l"});
    if (!switches || !r.started || r.exitStatus != 0) return;
    // A switch outside a check pass is the launch check's, by the threshold.
    SwitchPoint point{run.now() - trace.start, machine.level(), "threshold", std::nullopt};
    const AppDelegate* app = run.app();
    if (app && app->lastDecision()) {
      point.rule = ruleName(app->lastDecision()->rule);
      if (app->lastDecision()->rule == LowBatteryRule::kSmart) {
        point.predictedMinutes = app->batteryPredictor()->predictRemainingMinutes(point.level);
      }
    }
    result.switches.push_back(point);
  };

  run.launch();
  std::size_t next = 1;
  const double end = trace.duration();
  bool onMains = trace.points.front().charging;
  auto applyRowsUntil = [&](double t) {
    while (next < trace.points.size() && trace.points[next].t <= t) {
      const TracePoint& p = trace.points[next++];
      run.runUntilJustBefore(trace.start + p.t);
      machine.battery().setPercent(p.percent);
      if (p.charging && !onMains)
        machine.setLowPowerMode(0);  // see docs: each discharge starts with it off
      machine.battery().setOnMains(p.charging);
      onMains = p.charging;
    }
  };
  auto asleep = trace.asleep.begin();
  std::int64_t passes = 0;
  const auto passCount = static_cast<std::int64_t>(std::floor(end / kPassSeconds + 1e-9));
  for (std::int64_t k = 1; k <= passCount; ++k) {
    double passAt = static_cast<double>(k) * kPassSeconds;
    if (asleep != trace.asleep.end() && passAt > asleep->first) {
      // No check runs while the machine is asleep or off; on waking the
      // timer's missed pass runs once, after the first row seen awake.
      applyRowsUntil(asleep->first);
      run.runUntil(trace.start + asleep->first);
      run.sleep(asleep->second - asleep->first - 1e-3);
      applyRowsUntil(asleep->second);
      passAt = asleep->second;
      k = static_cast<std::int64_t>(std::floor(passAt / kPassSeconds + 1e-9));
      ++asleep;
    }
    applyRowsUntil(passAt);
    // The timer's own sums may land a hair past the exact multiple: run that
    // pass at its own time, so that a restart keeps the timer's grid.
    run.runUntil(trace.start + passAt);
    if (const auto due = run.sim().loop.nextDueTime(); due && *due < trace.start + passAt + 1e-3) {
      run.runUntil(*due);
    }
    ++passes;
    AppDelegate* app = run.app();
    const std::int64_t level = machine.level();
    if (shared) shared->levels.emplace_back(passAt, level);
    const BatteryPredictor* predictor = app->batteryPredictor();
    if (smart && predictor->hasEnoughData()) {
      if (!result.readyAt) result.readyAt = passAt;
      if (!onMains) {
        if (auto minutes = predictor->predictRemainingMinutes(level)) {
          result.predictions.emplace_back(passAt, *minutes);
        }
      }
    }
    run.sim().clearJournal();
    run.sim().tools.clearLog();

    if (options.compactAbove > 0 && predictor->getSnapshotCount() > options.compactAbove &&
        !app->notificationShown() && (onMains || level > options.threshold)) {
      // Neither the launch check nor the cleared latch can change anything now.
      run.quit();
      compactLearningFile(run.home(), options.keepSnapshots);
      run.launch();
      ++result.restarts;
    }
  }
  if (shared) shared->passes = passes;
  return result;
}

}  // namespace

EpisodeSwitch switchIn(const Trace& trace, const Episode& episode, const ModeResult& mode) {
  EpisodeSwitch found;
  for (const auto& s : mode.switches) {
    if (s.t >= episode.from && s.t <= episode.to) {
      found.at = &s;
      break;
    }
  }
  if (!found.at) return found;
  const auto& pts = trace.points;
  const double at = found.at->t;
  // The level held at the switch: the last row at or before it.
  std::size_t i = episode.first;
  while (i < episode.last && pts[i + 1].t <= at) ++i;
  const double levelThen = pts[i].percent;
  for (std::size_t j = i; j <= episode.last; ++j) {
    if (pts[j].percent <= 0.0) {
      found.minutesLeft = std::max(0.0, pts[j].t - at) / 60.0;
      return found;
    }
  }
  const double levelAtEnd = pts[episode.last].percent;
  const double seconds = episode.to - at;
  if (levelThen > levelAtEnd && seconds > 0.0) {
    const double perSecond = (levelThen - levelAtEnd) / seconds;
    found.minutesLeft = (seconds + levelAtEnd / perSecond) / 60.0;
  }
  return found;
}

std::vector<Episode> dischargeEpisodes(const Trace& trace) {
  std::vector<Episode> episodes;
  const auto& pts = trace.points;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    if (pts[i].charging) continue;
    Episode e;
    e.from = pts[i].t;
    e.startPercent = pts[i].percent;
    e.endPercent = pts[i].percent;
    std::size_t j = i;
    while (j + 1 < pts.size() && !pts[j + 1].charging) {
      ++j;
      e.endPercent = std::min(e.endPercent, pts[j].percent);
    }
    e.first = i;
    e.last = j;
    e.pluggedIn = j + 1 < pts.size();
    e.to = e.pluggedIn ? pts[j + 1].t : pts[j].t;
    episodes.push_back(e);
    i = j;
  }
  return episodes;
}

WhatIfResult runWhatIf(const Trace& trace, const WhatIfOptions& options) {
  WhatIfResult result;
  result.classic = replay(trace, options, false, &result);
  result.smart = replay(trace, options, true, nullptr);
  result.episodes = dischargeEpisodes(trace);
  return result;
}

int runWhatIfCommand(const std::filesystem::path& tracePath, const WhatIfOptions& options,
                     const std::optional<std::string>& plot, ReportFormat format) {
  const TraceParse parsed = loadTrace(tracePath);
  if (!parsed.trace) {
    std::cerr << "kestrine-sim: " << parsed.error->str() << "\n";
    return 2;
  }
  if (options.home) {
    if (const auto error = makeHomeFolder(*options.home)) {
      std::cerr << "kestrine-sim: " << *error << "\n";
      return 2;
    }
  }
  // Both replays write only into the run's own folder.
  WhatIfOptions replayOptions = options;
  std::optional<RunFolder> scratch;
  if (!replayOptions.home) {
    scratch.emplace();
    if (scratch->path().empty()) {
      std::cerr << "kestrine-sim: cannot make a temporary folder for the run\n";
      return 1;
    }
    replayOptions.home = scratch->path();
  }
  const WhatIfResult result = runWhatIf(*parsed.trace, replayOptions);
  std::cout << (format == ReportFormat::kJson ? whatIfJson(*parsed.trace, result)
                                              : whatIfReport(*parsed.trace, options, result));
  if (plot) {
    std::ofstream out(*plot, std::ios::binary | std::ios::trunc);
    out << whatIfSvg(*parsed.trace, options, result);
    if (!out) {
      std::cerr << "kestrine-sim: cannot write " << *plot << "\n";
      return 1;
    }
    // Standard output holds only the report: one JSON object with --format json.
    (format == ReportFormat::kJson ? std::cerr : std::cout) << "Plot written to " << *plot << "\n";
  }
  return 0;
}

}  // namespace kestrine::sim
