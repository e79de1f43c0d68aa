#include "sim/whatif.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/sim/virtual_clock.h"
#include "prediction/battery_predictor.h"
#include "prediction/prediction_data.h"
#include "settings/config.h"
#include "sim/laptop_run.h"
#include "storage/file_store.h"

namespace kestrine::sim {

namespace {

constexpr double kPassSeconds = 30.0;

std::string trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return std::string(s.substr(first, last - first + 1));
}

std::string clockText(double t) {
  const auto total = static_cast<long long>(std::floor(t + 0.5));
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "day %lld %02lld:%02lld:%02lld", total / 86400 + 1,
                total % 86400 / 3600, total % 3600 / 60, total % 60);
  return buffer;
}

// Text as SVG character data: a file name may hold '<' or '&'.
std::string xmlText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

TraceParse parseTrace(std::string_view text, const std::string& fileName) {
  Trace trace;
  trace.file = fileName;
  int lineNumber = 0;
  bool first = true;
  std::optional<bool> iso;
  WallTime firstWall = 0.0;
  auto fail = [&](std::string message) {
    return TraceParse{std::nullopt, InputError{fileName, lineNumber, std::move(message)}};
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    const std::string line = trim(text.substr(pos, eol - pos));
    pos = eol + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
      const auto comma = line.find(',', start);
      fields.push_back(trim(std::string_view(line).substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (first) {
      first = false;
      if (fields.size() == 3 && fields[0] == "time" && fields[1] == "percent" &&
          fields[2] == "charging") {
        continue;
      }
    }
    if (fields.size() != 3) {
      return fail("expected 3 columns (time,percent,charging), found " +
                  std::to_string(fields.size()));
    }
    TracePoint point;
    const auto seconds = parseNumber(fields[0]);
    const auto wall = seconds ? std::nullopt : parseIsoTime(fields[0]);
    if (!seconds && !wall) {
      return fail("bad time '" + fields[0] + "' (seconds from the start, or 2026-03-14T09:00:00Z)");
    }
    if (iso && *iso != wall.has_value()) {
      return fail("times mix seconds and dates; use one form for the whole trace");
    }
    if (!iso) {
      iso = wall.has_value();
      firstWall = wall ? *wall : 0.0;
    }
    point.t = wall ? *wall - firstWall : *seconds;
    if (point.t < 0) return fail("negative time '" + fields[0] + "'");
    const auto percent = parseNumber(fields[1]);
    if (!percent || *percent < 0 || *percent > 100) {
      return fail("bad percent '" + fields[1] + "' (a number from 0 to 100)");
    }
    point.percent = *percent;
    const auto& c = fields[2];
    if (c == "1" || c == "true" || c == "yes") {
      point.charging = true;
    } else if (c == "0" || c == "false" || c == "no") {
      point.charging = false;
    } else {
      return fail("bad charging value '" + c + "' (1/0, true/false or yes/no)");
    }
    if (!trace.points.empty() && point.t <= trace.points.back().t) {
      return fail("time does not increase");
    }
    trace.points.push_back(point);
  }
  lineNumber = 0;
  if (trace.points.size() < 2) return fail("a trace needs at least two rows");
  if (trace.points.front().t != 0.0 && !iso.value_or(false)) {
    // Seconds count from the start of the trace; a first row later than 0 just starts there.
    const double offset = trace.points.front().t;
    for (auto& p : trace.points) p.t -= offset;
  }
  trace.start = iso.value_or(false) ? firstWall : wallTimeFromCivil(2026, 3, 14, 9, 0, 0.0);
  return TraceParse{std::move(trace), std::nullopt};
}

TraceParse loadTrace(const std::filesystem::path& path) {
  const auto content = readInputFile(path);
  if (!content) return TraceParse{std::nullopt, InputError{path.string(), 0, "cannot be read"}};
  return parseTrace(*content, path.string());
}

namespace {

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

  std::string lastSubtitle;
  WallTime lastNotificationAt = -1.0;
  run.sim().notifier.observers.add([&](const Notification& n) {
    lastSubtitle = n.subtitle;
    lastNotificationAt = run.now();
  });
  std::vector<std::pair<WallTime, std::int64_t>> rawSwitches;
  machine.onToolRun = [&](const ToolRequest& request, const ToolResult& r) {
    if ((request.program == machine.tools().sudo || request.program == machine.tools().osascript) &&
        r.started && r.exitStatus == 0) {
      rawSwitches.emplace_back(run.now(), machine.level());
    }
  };

  run.launch();
  std::size_t next = 1;
  const double end = trace.duration();
  bool onMains = trace.points.front().charging;
  const auto passCount = static_cast<std::int64_t>(std::floor(end / kPassSeconds + 1e-9));
  for (std::int64_t k = 1; k <= passCount; ++k) {
    const double passAt = static_cast<double>(k) * kPassSeconds;
    while (next < trace.points.size() && trace.points[next].t <= passAt) {
      const TracePoint& p = trace.points[next++];
      run.runUntilJustBefore(trace.start + p.t);
      machine.battery().setPercent(p.percent);
      if (p.charging && !onMains)
        machine.setLowPowerMode(0);  // see docs: each discharge starts with it off
      machine.battery().setOnMains(p.charging);
      onMains = p.charging;
    }
    // The timer's own sums may land a hair past the exact multiple: run that
    // pass at its own time, so that a restart keeps the timer's grid.
    run.runUntil(trace.start + passAt);
    if (const auto due = run.sim().loop.nextDueTime(); due && *due < trace.start + passAt + 1e-3) {
      run.runUntil(*due);
    }
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
    for (const auto& [at, switchedLevel] : rawSwitches) {
      SwitchPoint point{at - trace.start, switchedLevel, "again"};
      if (lastNotificationAt == at) {
        point.how = lastSubtitle.find("(Smart AI Mode)") != std::string::npos ? "prediction"
                    : lastSubtitle.find("(fallback)") != std::string::npos    ? "fallback"
                                                                              : "threshold";
      }
      result.switches.push_back(point);
    }
    rawSwitches.clear();
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
  if (shared) shared->passes = static_cast<std::int64_t>(end / kPassSeconds);
  return result;
}

}  // namespace

WhatIfResult runWhatIf(const Trace& trace, const WhatIfOptions& options) {
  WhatIfResult result;
  result.classic = replay(trace, options, false, &result);
  result.smart = replay(trace, options, true, nullptr);
  // Discharge episodes: maximal stretches of rows on battery.
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
    e.pluggedIn = j + 1 < pts.size();
    e.to = e.pluggedIn ? pts[j + 1].t : pts[j].t;
    result.episodes.push_back(e);
    i = j;
  }
  return result;
}

std::string whatIfReport(const Trace& trace, const WhatIfOptions& options,
                         const WhatIfResult& result) {
  std::ostringstream out;
  out << "Trace " << trace.file << ": " << trace.points.size() << " rows over "
      << clockText(trace.duration()).substr(4) << " (" << result.passes << " check passes)\n";
  out << "Classic Threshold Mode at " << options.threshold << "%; Smart AI Mode with a "
      << options.targetMinutes << "-minute target, learning from an empty start";
  if (result.smart.readyAt) {
    out << " (ready from " << clockText(*result.smart.readyAt) << ")";
  } else {
    out << " (never had enough data: it used the threshold throughout)";
  }
  out << ".\n\n";
  int classicSwitched = 0, smartSwitched = 0;
  for (std::size_t i = 0; i < result.episodes.size(); ++i) {
    const Episode& e = result.episodes[i];
    char head[160];
    std::snprintf(head, sizeof head, "Discharge %zu: %s from %.0f%% to %.0f%%, %s\n", i + 1,
                  clockText(e.from).c_str(), e.startPercent, e.endPercent,
                  e.pluggedIn ? ("plugged in " + clockText(e.to)).c_str() : "trace ends");
    out << head;
    for (const ModeResult* mode : {&result.classic, &result.smart}) {
      const SwitchPoint* first = nullptr;
      for (const auto& s : mode->switches) {
        if (s.t >= e.from && s.t <= e.to) {
          first = &s;
          break;
        }
      }
      out << "  " << (mode == &result.classic ? "Classic:  " : "Smart AI: ");
      if (first) {
        out << "Low Power Mode on at " << clockText(first->t) << ", " << first->level << "% (by "
            << first->how << ")";
        (mode == &result.classic ? classicSwitched : smartSwitched)++;
      } else {
        out << (e.pluggedIn ? "not switched; the user plugged in first" : "not switched");
      }
      out << "\n";
    }
  }
  out << "\nSummary: " << result.episodes.size() << " discharges; Classic switched in "
      << classicSwitched << ", Smart AI in " << smartSwitched << ".\n";
  return out.str();
}

std::string whatIfSvg(const Trace& trace, const WhatIfOptions& options,
                      const WhatIfResult& result) {
  const double width = 1200, height = 520, left = 60, right = 70, top = 40, bottom = 60;
  const double plotW = width - left - right, plotH = height - top - bottom;
  const double span = std::max(trace.duration(), 1.0);
  std::int64_t maxMinutes = 120;
  for (const auto& p : result.smart.predictions) maxMinutes = std::max(maxMinutes, p.second);
  maxMinutes = std::min<std::int64_t>(maxMinutes, 1200);
  auto x = [&](double t) { return left + t / span * plotW; };
  auto yPercent = [&](double p) { return top + (100.0 - p) / 100.0 * plotH; };
  auto yMinutes = [&](double m) {
    return top + (1.0 - std::min(m, static_cast<double>(maxMinutes)) / maxMinutes) * plotH;
  };
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(1);
  s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
    << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  s << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  s << "<text x=\"" << left << "\" y=\"24\" font-size=\"16\">What if: " << xmlText(trace.file)
    << "</text>\n";
  // Charging stretches, shaded: one rectangle for each run of charging rows, from
  // its first row to the row that ends it.
  for (std::size_t i = 0; i + 1 < trace.points.size();) {
    if (!trace.points[i].charging) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end + 1 < trace.points.size() && trace.points[end].charging) ++end;
    s << "<rect x=\"" << x(trace.points[i].t) << "\" y=\"" << top << "\" width=\""
      << std::max(0.5, x(trace.points[end].t) - x(trace.points[i].t)) << "\" height=\"" << plotH
      << "\" fill=\"#e6f4e6\"/>\n";
    i = end;
  }
  // Axes and grid.
  for (int p = 0; p <= 100; p += 20) {
    s << "<line x1=\"" << left << "\" x2=\"" << left + plotW << "\" y1=\"" << yPercent(p)
      << "\" y2=\"" << yPercent(p) << "\" stroke=\"#ddd\"/>\n";
    s << "<text x=\"" << left - 8 << "\" y=\"" << yPercent(p) + 4 << "\" text-anchor=\"end\">" << p
      << "%</text>\n";
    s << "<text x=\"" << left + plotW + 8 << "\" y=\"" << yPercent(p) + 4 << "\" fill=\"#7a3ea0\">"
      << static_cast<long long>(maxMinutes * p / 100) << " min</text>\n";
  }
  const double dayStep = span > 3 * 86400 ? 86400 : span > 6 * 3600 ? 3600 * 6 : 3600;
  for (double t = 0; t <= span; t += dayStep) {
    s << "<text x=\"" << x(t) << "\" y=\"" << top + plotH + 18 << "\" text-anchor=\"middle\">"
      << clockText(t).substr(0, dayStep >= 86400 ? 6 : 12) << "</text>\n";
  }
  s << "<line x1=\"" << left << "\" x2=\"" << left + plotW << "\" y1=\""
    << yPercent(static_cast<double>(options.threshold)) << "\" y2=\""
    << yPercent(static_cast<double>(options.threshold))
    << "\" stroke=\"#c33\" stroke-dasharray=\"6 4\"/>\n";
  // Battery curve, at most about two points per pixel column.
  const std::size_t stride = std::max<std::size_t>(1, result.levels.size() / 2400);
  s << "<polyline fill=\"none\" stroke=\"#1f6fb2\" stroke-width=\"1.5\" points=\"";
  for (std::size_t i = 0; i < result.levels.size(); i += stride) {
    s << x(result.levels[i].first) << "," << yPercent(static_cast<double>(result.levels[i].second))
      << " ";
  }
  s << "\"/>\n";
  // Predictions, as dots on the minutes axis.
  const std::size_t pstride = std::max<std::size_t>(1, result.smart.predictions.size() / 2400);
  for (std::size_t i = 0; i < result.smart.predictions.size(); i += pstride) {
    const auto& [t, m] = result.smart.predictions[i];
    s << "<circle cx=\"" << x(t) << "\" cy=\"" << yMinutes(static_cast<double>(m))
      << "\" r=\"1.2\" fill=\"#7a3ea0\"/>\n";
  }
  for (const auto& sw : result.classic.switches) {
    s << "<circle cx=\"" << x(sw.t) << "\" cy=\"" << yPercent(static_cast<double>(sw.level))
      << "\" r=\"6\" fill=\"none\" stroke=\"#c33\" stroke-width=\"2\"><title>Classic: "
      << clockText(sw.t) << ", " << sw.level << "%</title></circle>\n";
  }
  for (const auto& sw : result.smart.switches) {
    const double cx = x(sw.t), cy = yPercent(static_cast<double>(sw.level));
    s << "<path d=\"M" << cx << "," << cy - 7 << " L" << cx + 6 << "," << cy + 5 << " L" << cx - 6
      << "," << cy + 5 << " Z\" fill=\"#e08a00\"><title>Smart AI: " << clockText(sw.t) << ", "
      << sw.level << "% (" << sw.how << ")</title></path>\n";
  }
  const double ly = height - 18;
  s << "<line x1=\"" << left << "\" x2=\"" << left + 24 << "\" y1=\"" << ly - 4 << "\" y2=\""
    << ly - 4 << "\" stroke=\"#1f6fb2\" stroke-width=\"2\"/><text x=\"" << left + 30 << "\" y=\""
    << ly << "\">battery</text>\n";
  s << "<circle cx=\"" << left + 110 << "\" cy=\"" << ly - 4
    << "\" r=\"2\" fill=\"#7a3ea0\"/><text x=\"" << left + 118 << "\" y=\"" << ly
    << "\">Smart AI prediction (right axis)</text>\n";
  s << "<circle cx=\"" << left + 340 << "\" cy=\"" << ly - 4
    << "\" r=\"6\" fill=\"none\" stroke=\"#c33\" stroke-width=\"2\"/><text x=\"" << left + 352
    << "\" y=\"" << ly << "\">Classic switch (threshold " << options.threshold << "%)</text>\n";
  s << "<path d=\"M" << left + 560 << "," << ly - 11 << " L" << left + 566 << "," << ly + 1 << " L"
    << left + 554 << "," << ly + 1 << " Z\" fill=\"#e08a00\"/><text x=\"" << left + 574 << "\" y=\""
    << ly << "\">Smart AI switch (target " << options.targetMinutes << " min)</text>\n";
  s << "<rect x=\"" << left + 800 << "\" y=\"" << ly - 12
    << "\" width=\"20\" height=\"12\" fill=\"#e6f4e6\"/><text x=\"" << left + 826 << "\" y=\"" << ly
    << "\">charging</text>\n";
  s << "</svg>\n";
  return s.str();
}

int runWhatIfCommand(const std::filesystem::path& tracePath, const WhatIfOptions& options,
                     const std::optional<std::string>& plot) {
  const TraceParse parsed = loadTrace(tracePath);
  if (!parsed.trace) {
    std::cerr << "kestrine-sim: " << parsed.error->str() << "\n";
    return 2;
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
  std::cout << whatIfReport(*parsed.trace, options, result);
  if (plot) {
    std::ofstream out(*plot, std::ios::binary | std::ios::trunc);
    out << whatIfSvg(*parsed.trace, options, result);
    if (!out) {
      std::cerr << "kestrine-sim: cannot write " << *plot << "\n";
      return 1;
    }
    std::cout << "Plot written to " << *plot << "\n";
  }
  return 0;
}

}  // namespace kestrine::sim
