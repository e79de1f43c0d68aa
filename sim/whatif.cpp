#include "sim/whatif.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/check_cycle.h"
#include "platform/fake/virtual_clock.h"
#include "prediction/battery_predictor.h"
#include "prediction/learning_file.h"
#include "settings/config.h"
#include "sim/laptop_run.h"
#include "ui/status_menu.h"

namespace kestrine::sim {

namespace {

constexpr fake::Ticks kPassTicks = 30 * fake::kTicksPerSecond;

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

ModeResult replay(const Trace& trace, const WhatIfOptions& options, bool smart,
                  WhatIfResult* shared) {
  ModeResult result;
  result.name = smart ? "Smart AI Mode" : "Classic Threshold Mode";
  MemoryLearningStore memory;
  // The application's own learning file has a row for each of its check
  // passes, dated once the pass had read the level: some milliseconds after
  // the timer fired, more at one pass, less at the next. Its first row is its
  // first pass, 30 s after the launch (the launch check records nothing). So
  // the replay launches a pass before that row and gives each row to the pass
  // nearest to it; held to "at or before the pass", a row dated a little
  // later than the first would reach the application a pass late.
  const fake::Ticks lead = trace.checkPasses ? kPassTicks : 0;
  const fake::Ticks nearest = trace.checkPasses ? kPassTicks / 2 : 0;
  const fake::Ticks start = fake::ticksFromSeconds(trace.start);
  LaptopRunOptions runOptions;
  runOptions.start = fake::secondsFromTicks(start - lead);
  runOptions.recordEvents = false;
  if (!options.learningOnDisk) runOptions.learningStore = &memory;
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

  const auto ticksOf = [](double t) { return fake::ticksFromSeconds(t); };
  bool onMains = trace.points.front().charging;
  std::size_t next = 1;
  // Between check passes the application does nothing the rows could change,
  // so they are simply applied up to the moment of the next pass.
  const auto applyRowsUntil = [&](fake::Ticks t, fake::Ticks slack) {
    const TracePoint* last = nullptr;
    while (next < trace.points.size() && ticksOf(trace.points[next].t) <= t + slack) {
      last = &trace.points[next++];
      if (last->charging && !onMains)
        machine.setLowPowerMode(0);  // each discharge starts with it off
      onMains = last->charging;
    }
    if (last) {
      BatteryModel& battery = machine.battery();
      battery.setPercent(last->percent);
      battery.setOnMains(last->charging);
    }
  };
  // Low Power Mode going on during a pass is that pass's switch, by the rule
  // of its decision; the launch check decides by the threshold alone.
  const auto passRan = [&](fake::Ticks at, bool wasOn) {
    const double t = fake::secondsFromTicks(at);
    const std::int64_t level = machine.level();
    if (shared) shared->levels.emplace_back(t, level);
    const AppDelegate* app = run.app();
    if (smart && !result.readyAt && app->batteryPredictor()->hasEnoughData()) result.readyAt = t;
    if (onMains || !app->lastDecision()) return;
    const LowBatteryDecision& decision = *app->lastDecision();
    if (decision.predictedMinutes) result.predictions.emplace_back(t, *decision.predictedMinutes);
    if (!wasOn && machine.lowPowerMode() != 0) {
      result.switches.push_back({t, level, ruleName(decision.rule), decision.predictedMinutes});
    }
  };
  // Runs the pass due at `at`, the rows up to then applied first.
  const auto runPass = [&](fake::Ticks at, fake::Ticks slack) {
    applyRowsUntil(at, slack);
    const bool wasOn = machine.lowPowerMode() != 0;
    run.runUntilTicks(start + at);
    passRan(at, wasOn);
    // The fake ports' logs are for tests; a month of them is not kept.
    run.sim().tools.clearLog();
    run.sim().statusBar.clearLog();
    run.sim().notifier.clearLog();
  };

  run.launch();
  if (shared && lead == 0) shared->levels.emplace_back(0.0, machine.level());
  if (machine.lowPowerMode() != 0) {
    result.switches.push_back({0.0, machine.level(), "threshold", std::nullopt});
  }
  const fake::Ticks end = ticksOf(trace.duration());
  auto asleep = trace.asleep.begin();
  std::int64_t passes = 0;
  for (fake::Ticks at = kPassTicks - lead; at <= end; at += kPassTicks) {
    if (asleep != trace.asleep.end() && at > ticksOf(asleep->first) + nearest) {
      // No check runs while the machine is asleep or off; on waking the
      // timer's missed pass runs once, after the first row seen awake (that
      // row itself in a learning file, not the one after it).
      const fake::Ticks to = ticksOf(asleep->second);
      const fake::Ticks from = std::max(ticksOf(asleep->first), run.sim().loop.nowTicks() - start);
      ++asleep;
      applyRowsUntil(from, 0);
      run.runUntilTicks(start + from);
      run.sleep(fake::secondsFromTicks(to - from));
      runPass(to, 0);
      // The timer's grid goes on after the waking.
      at = to - to % kPassTicks;
    } else {
      runPass(at, nearest);
    }
    ++passes;
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
  if (found.at) found.minutesLeft = minutesLeftAt(trace, episode, found.at->t);
  return found;
}

std::optional<double> minutesLeftAt(const Trace& trace, const Episode& episode, double at) {
  const auto& pts = trace.points;
  // The level held at the switch: the last row at or before it.
  std::size_t i = episode.first;
  while (i < episode.last && pts[i + 1].t <= at) ++i;
  const double levelThen = pts[i].percent;
  for (std::size_t j = i; j <= episode.last; ++j) {
    if (pts[j].percent <= 0.0) return trace.awakeSeconds(at, std::max(at, pts[j].t)) / 60.0;
  }
  const double levelAtEnd = pts[episode.last].percent;
  const double seconds = trace.awakeSeconds(at, episode.to);
  if (!(levelThen > levelAtEnd && seconds > 0.0)) return std::nullopt;
  const double perSecond = (levelThen - levelAtEnd) / seconds;
  return (seconds + levelAtEnd / perSecond) / 60.0;
}

std::vector<ThresholdOutcome> thresholdOutcomes(const Trace& trace, const WhatIfResult& result) {
  std::vector<ThresholdOutcome> outcomes;
  for (const std::int64_t threshold : kThresholdChoices) outcomes.push_back({threshold, {}});
  const auto& levels = result.levels;
  auto pass = levels.begin();
  for (const Episode& e : result.episodes) {
    pass = std::lower_bound(pass, levels.end(), e.from,
                            [](const auto& p, double t) { return p.first < t; });
    // A pass at the plug-in's own moment already sees the charger.
    const auto onBattery = [&](double t) { return e.pluggedIn ? t < e.to : t <= e.to; };
    for (ThresholdOutcome& o : outcomes) {
      const auto hit = std::find_if(pass, levels.end(), [&](const auto& p) {
        return !onBattery(p.first) || p.second <= o.threshold;
      });
      if (hit == levels.end() || !onBattery(hit->first)) continue;
      if (const auto minutes = minutesLeftAt(trace, e, hit->first))
        o.minutesLeft.push_back(*minutes);
    }
  }
  return outcomes;
}

ThresholdAdvice adviseThreshold(const std::vector<ThresholdOutcome>& outcomes,
                                double targetMinutes) {
  ThresholdAdvice advice;
  advice.tooFew = true;
  for (const ThresholdOutcome& o : outcomes) {
    const std::size_t reached = o.minutesLeft.size();
    advice.mostReached = std::max(advice.mostReached, reached);
    if (reached < kFewestDischargesToAdvise) {
      if (!advice.threshold) advice.lowerNotJudged = true;
      continue;
    }
    advice.tooFew = false;
    const auto fit = static_cast<std::size_t>(std::count_if(
        o.minutesLeft.begin(), o.minutesLeft.end(), [&](double m) { return m >= targetMinutes; }));
    // Most: at least three in four.
    if (!advice.threshold && 4 * fit >= 3 * reached) {
      advice.threshold = o.threshold;
      advice.fit = fit;
      advice.reached = reached;
    }
  }
  return advice;
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

std::optional<std::filesystem::path> newestChargeHistory(const std::filesystem::path& folder) {
  std::optional<std::filesystem::path> newest;
  std::filesystem::file_time_type newestTime;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("history-charge-") || !name.ends_with(".dat")) continue;
    if (!entry.is_regular_file(error)) continue;
    const auto written = entry.last_write_time(error);
    if (error) continue;
    if (!newest || written > newestTime) {
      newest = entry.path();
      newestTime = written;
    }
  }
  return newest;
}

int runWhatIfCommand(const std::optional<std::filesystem::path>& givenTrace,
                     const WhatIfOptions& options, const std::optional<std::string>& plot,
                     ReportFormat format, const std::filesystem::path& historyFolder) {
  std::filesystem::path tracePath;
  if (givenTrace) {
    tracePath = *givenTrace;
  } else if (const auto newest = newestChargeHistory(historyFolder)) {
    tracePath = *newest;
    std::cerr << "kestrine-sim: reading " << tracePath.string()
              << ", this machine's newest battery charge history\n";
  } else {
    std::cerr << "kestrine-sim: no --trace given, and no battery charge history "
                 "(history-charge-*.dat) in "
              << historyFolder.string() << "; pass one with --trace FILE\n";
    return 2;
  }
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
  std::cout << (format == ReportFormat::kJson ? whatIfJson(*parsed.trace, options, result)
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
