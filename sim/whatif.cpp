#include "sim/whatif.h"

#include <algorithm>
#include <fstream>
#include <iostream>

#include "app/app_delegate.h"
#include "app/check_cycle.h"
#include "platform/fake/fake_platform.h"
#include "prediction/battery_predictor.h"
#include "prediction/learning_file.h"
#include "settings/config.h"
#include "sim/battery_model.h"
#include "ui/status_menu.h"

namespace kestrine::sim {

namespace {

constexpr fake::Ticks kPassTicks = 30 * fake::kTicksPerSecond;

// Each LowBatteryRule's name in the reports, in the order of the rules.
constexpr const char* kRuleNames[] = {"threshold", "prediction", "fallback"};

// One mode's run through the trace: the application on the fake platform,
// whose power port reads the trace's level and power source and whose switch
// just sets the mode.
struct Replayed {
  ModeResult mode;
  // The level at the launch check and at each pass.
  std::vector<std::pair<double, std::int64_t>> levels;
  std::int64_t passes = 0;
};

class Replay {
 public:
  Replay(const Trace& trace, const WhatIfOptions& options, bool smart)
      : trace_(trace),
        smart_(smart),
        // The application's own learning file has a row for each of its check
        // passes, dated once the pass had read the level: some milliseconds
        // after the timer fired, more at one pass, less at the next. Its first
        // row is its first pass, 30 s after the launch (the launch check
        // records nothing). So the replay launches a pass before that row and
        // gives each row to the pass nearest to it; held to "at or before the
        // pass", a row dated a little later than the first would reach the
        // application a pass late.
        lead_(trace.checkPasses ? kPassTicks : 0),
        nearest_(trace.checkPasses ? kPassTicks / 2 : 0),
        start_(fake::ticksFromSeconds(trace.start)),
        fake_(fakeOptions(options, smart, fake::secondsFromTicks(start_ - lead_))),
        onMains_(trace.points.front().charging) {
    const Config config{.threshold = options.threshold,
                        .setupComplete = true,
                        .useSmartMode = smart,
                        .smartModeTargetMinutes = options.targetMinutes};
    if (const auto failure = config.save(fake_.home.path())) fake_.console.printLine(*failure);
    read(trace.points.front());
    fake_.platform().learningStore = &memory_;
    app_.emplace(fake_.platform());
  }

  Replayed run() && {
    app_->applicationDidFinishLaunching();
    if (lead_ == 0) out_.levels.emplace_back(0.0, level());
    if (lowPowerModeOn()) out_.mode.switches.push_back({0.0, level(), "threshold", std::nullopt});
    const fake::Ticks end = fake::ticksFromSeconds(trace_.duration());
    auto asleep = trace_.asleep.begin();
    for (fake::Ticks at = kPassTicks - lead_; at <= end; at += kPassTicks, ++out_.passes) {
      if (asleep == trace_.asleep.end() || at <= fake::ticksFromSeconds(asleep->first) + nearest_) {
        pass(at, nearest_);
        continue;
      }
      // No check runs while the machine is asleep or off; on waking the
      // timer's missed pass runs once, after the first row seen awake (that
      // row itself in a learning file, not the one after it).
      const fake::Ticks to = fake::ticksFromSeconds(asleep->second);
      const fake::Ticks from =
          std::max(fake::ticksFromSeconds(asleep->first), fake_.loop.nowTicks() - start_);
      ++asleep;
      rowsUntil(from, 0);
      fake_.loop.runUntilTicks(start_ + from);
      fake_.loop.passTimeBlocked(fake::secondsFromTicks(to - from));
      pass(to, 0);
      at = to - to % kPassTicks;  // the timer's grid goes on after the waking
    }
    app_->applicationWillTerminate();
    return std::move(out_);
  }

 private:
  static fake::FakeOptions fakeOptions(const WhatIfOptions& options, bool smart, WallTime start) {
    fake::FakeOptions o;
    o.start = start;
    o.keepRecord = false;
    if (options.home) {
      o.home = *options.home / (smart ? "smart" : "classic");
      std::filesystem::create_directories(*o.home);
    }
    return o;
  }
  std::int64_t level() const { return *fake_.power.level; }
  bool lowPowerModeOn() const { return fake_.power.mode != PowerMode::kAutomatic; }
  void read(const TracePoint& row) {
    fake_.power.level = BatteryModel(row.percent).level();
    fake_.power.onBattery = !row.charging;
  }

  // Between check passes the application does nothing the rows could change,
  // so they are simply applied up to the moment of the next pass.
  void rowsUntil(fake::Ticks t, fake::Ticks slack) {
    const TracePoint* last = nullptr;
    for (; next_ < trace_.points.size() &&
           fake::ticksFromSeconds(trace_.points[next_].t) <= t + slack;
         ++next_) {
      last = &trace_.points[next_];
      // Each discharge starts with Low Power Mode off.
      if (last->charging && !onMains_) fake_.power.mode = PowerMode::kAutomatic;
      onMains_ = last->charging;
    }
    if (last) read(*last);
  }

  // The pass due at `at`, the rows up to then read first. Low Power Mode
  // going on during it is its switch, by the rule of its decision.
  void pass(fake::Ticks at, fake::Ticks slack) {
    rowsUntil(at, slack);
    const bool wasOn = lowPowerModeOn();
    fake_.loop.runUntilTicks(start_ + at);
    const double t = fake::secondsFromTicks(at);
    out_.levels.emplace_back(t, level());
    ModeResult& mode = out_.mode;
    if (smart_ && !mode.readyAt && app_->batteryPredictor()->hasEnoughData()) mode.readyAt = t;
    if (onMains_ || !app_->lastDecision()) return;
    const LowBatteryDecision& decision = *app_->lastDecision();
    if (decision.predictedMinutes) mode.predictions.emplace_back(t, *decision.predictedMinutes);
    if (!wasOn && lowPowerModeOn())
      mode.switches.push_back(
          {t, level(), kRuleNames[static_cast<int>(decision.rule)], decision.predictedMinutes});
  }

  const Trace& trace_;
  const bool smart_;
  const fake::Ticks lead_, nearest_, start_;
  fake::FakePlatform fake_;
  MemoryLearningStore memory_;
  std::optional<AppDelegate> app_;
  bool onMains_;
  std::size_t next_ = 1;
  Replayed out_;
};

// The minutes the battery actually had left at `at` inside the discharge, as
// switchIn() measures them.
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

// The most recently written "history-charge-*.dat" in `folder`; absent when
// there is none.
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

}  // namespace

EpisodeSwitch switchIn(const Trace& trace, const Episode& episode, const ModeResult& mode) {
  const auto s = std::find_if(mode.switches.begin(), mode.switches.end(), [&](const auto& at) {
    return at.t >= episode.from && at.t <= episode.to;
  });
  if (s == mode.switches.end()) return {};
  return {&*s, minutesLeftAt(trace, episode, s->t)};
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
    std::size_t j = i;
    double lowest = pts[i].percent;
    while (j + 1 < pts.size() && !pts[j + 1].charging) lowest = std::min(lowest, pts[++j].percent);
    const bool pluggedIn = j + 1 < pts.size();
    episodes.push_back({.from = pts[i].t,
                        .to = pluggedIn ? pts[j + 1].t : pts[j].t,
                        .startPercent = pts[i].percent,
                        .endPercent = lowest,
                        .pluggedIn = pluggedIn,
                        .first = i,
                        .last = j});
    i = j;
  }
  return episodes;
}

WhatIfResult runWhatIf(const Trace& trace, const WhatIfOptions& options) {
  Replayed classic = Replay(trace, options, false).run();
  return {.classic = std::move(classic.mode),
          .smart = Replay(trace, options, true).run().mode,
          .episodes = dischargeEpisodes(trace),
          .levels = std::move(classic.levels),
          .passes = classic.passes};
}

std::optional<Trace> whatIfTrace(const std::optional<std::filesystem::path>& given,
                                 const std::filesystem::path& historyFolder) {
  std::optional<std::filesystem::path> path = given;
  if (!path) {
    path = newestChargeHistory(historyFolder);
    if (!path) {
      std::cerr << "kestrine-sim: no --trace given, and no battery charge history "
                   "(history-charge-*.dat) in "
                << historyFolder.string() << "; pass one with --trace FILE\n";
      return std::nullopt;
    }
    std::cerr << "kestrine-sim: reading " << path->string()
              << ", this machine's newest battery charge history\n";
  }
  TraceParse parsed = loadTrace(*path);
  if (!parsed.trace) std::cerr << "kestrine-sim: " << parsed.error->str() << "\n";
  return std::move(parsed.trace);
}

int reportWhatIf(const Trace& trace, const WhatIfOptions& options,
                 const std::optional<std::string>& plot, bool json) {
  const WhatIfResult result = runWhatIf(trace, options);
  std::cout << (json ? whatIfJson(trace, options, result) : whatIfReport(trace, options, result));
  if (plot) {
    std::ofstream out(*plot, std::ios::binary | std::ios::trunc);
    out << whatIfSvg(trace, options, result);
    if (!out) {
      std::cerr << "kestrine-sim: cannot write " << *plot << "\n";
      return 1;
    }
    // Standard output holds only the report: one JSON object with --format json.
    (json ? std::cerr : std::cout) << "Plot written to " << *plot << "\n";
  }
  return 0;
}

}  // namespace kestrine::sim
