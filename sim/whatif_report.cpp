// What-if's reports: the text for people, one JSON object for programs, and
// the plot.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/fake/calendar.h"
#include "sim/event_log.h"
#include "sim/whatif.h"
#include "ui/markup.h"

namespace kestrine::sim {

namespace {

// A percent as the trace gave it: "57", "99.7".
std::string percentText(double percent) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10g", percent);
  return buffer;
}

std::string minutesText(const std::optional<double>& minutes) {
  if (!minutes) return "no drain after it to measure the minutes left";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.0f min actually left", *minutes);
  return buffer;
}

const std::array<const ModeResult WhatIfResult::*, 2> kModes = {&WhatIfResult::classic,
                                                                &WhatIfResult::smart};

// "1 discharge", "3 discharges".
std::string counted(std::size_t n, std::string_view one, std::string_view many = {}) {
  if (n == 1) return "1 " + std::string(one);
  return std::to_string(n) + " " + (many.empty() ? std::string(one) + "s" : std::string(many));
}

// What one mode did over all discharges.
struct ModeSummary {
  std::size_t switches = 0;         // discharges in which it switched
  std::vector<double> minutesLeft;  // sorted
  void add(const std::optional<double>& minutes) {
    ++switches;
    if (minutes)
      minutesLeft.insert(std::upper_bound(minutesLeft.begin(), minutesLeft.end(), *minutes),
                         *minutes);
  }
  double median() const {
    const auto& l = minutesLeft;
    return l.size() % 2 ? l[l.size() / 2] : (l[l.size() / 2 - 1] + l[l.size() / 2]) / 2.0;
  }
  // The switches that left at least `target` minutes.
  std::int64_t fit(std::int64_t target) const {
    return std::count_if(minutesLeft.begin(), minutesLeft.end(),
                         [&](double m) { return m >= static_cast<double>(target); });
  }
};

// What the history says about the settings: what each mode left, what Smart AI
// Mode's switches by its prediction left, and the threshold that would have
// left the target.
struct Summary {
  std::array<ModeSummary, 2> modes;  // Classic, Smart AI
  ModeSummary byPrediction;
  ThresholdAdvice advice;
};

Summary summarise(const Trace& trace, const WhatIfOptions& options, const WhatIfResult& result) {
  Summary summary;
  for (const Episode& e : result.episodes) {
    for (std::size_t m = 0; m < kModes.size(); ++m) {
      const EpisodeSwitch s = switchIn(trace, e, result.*kModes[m]);
      if (s.at) summary.modes[m].add(s.minutesLeft);
      if (m == 1 && s.at && s.at->rule == "prediction" && s.minutesLeft)
        summary.byPrediction.add(s.minutesLeft);
    }
  }
  summary.advice =
      adviseThreshold(thresholdOutcomes(trace, result), static_cast<double>(options.targetMinutes));
  return summary;
}

// "median 49 min, range 34 to 69"
std::string minutesSummaryText(const ModeSummary& m) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "median %.0f min, range %.0f to %.0f", m.median(),
                m.minutesLeft.front(), m.minutesLeft.back());
  return buffer;
}

std::string minutesSummaryJson(const ModeSummary& m) {
  if (m.minutesLeft.empty()) return "null";
  return JsonObject()
      .addNumber("median", m.median(), 1)
      .addNumber("min", m.minutesLeft.front(), 1)
      .addNumber("max", m.minutesLeft.back(), 1)
      .str();
}

}  // namespace

std::string whatIfReport(const Trace& trace, const WhatIfOptions& options,
                         const WhatIfResult& result) {
  std::ostringstream out;
  out << "Trace " << trace.file << ": " << counted(trace.points.size(), "row") << ", "
      << trace.timeText(0.0) << " to " << trace.timeText(trace.duration()) << " ("
      << counted(static_cast<std::size_t>(result.passes), "check pass", "check passes") << ")\n";
  out << "Classic Threshold Mode at " << options.threshold << "%; Smart AI Mode with a "
      << options.targetMinutes << "-minute target, learning from an empty start";
  if (result.smart.readyAt) {
    out << " (ready from " << trace.timeText(*result.smart.readyAt) << ")";
  } else {
    out << " (never had enough data: it used the threshold throughout)";
  }
  out << ".\n\n";
  for (std::size_t i = 0; i < result.episodes.size(); ++i) {
    const Episode& e = result.episodes[i];
    out << "Discharge " << i + 1 << ": " << trace.timeText(e.from) << " from "
        << percentText(e.startPercent) << "% to " << percentText(e.endPercent) << "%, "
        << (e.pluggedIn ? "plugged in " + trace.timeText(e.to) : std::string("trace ends")) << "\n";
    for (std::size_t m = 0; m < kModes.size(); ++m) {
      const EpisodeSwitch s = switchIn(trace, e, result.*kModes[m]);
      out << "  " << (m == 0 ? "Classic:  " : "Smart AI: ");
      if (!s.at) {
        out << (e.pluggedIn ? "not switched; the user plugged in first" : "not switched") << "\n";
        continue;
      }
      out << "Low Power Mode on at " << trace.timeText(s.at->t) << ", " << s.at->level << "% (by "
          << s.at->rule;
      if (s.at->predictedMinutes) out << ", " << *s.at->predictedMinutes << " min predicted";
      out << "), " << minutesText(s.minutesLeft) << "\n";
    }
  }
  const Summary summary = summarise(trace, options, result);
  out << "\nSummary: " << counted(result.episodes.size(), "discharge") << "; Classic switched in "
      << summary.modes[0].switches << ", Smart AI in " << summary.modes[1].switches << ".\n";
  for (std::size_t m = 0; m < kModes.size(); ++m) {
    out << (m == 0 ? "  Classic:  " : "  Smart AI: ");
    const ModeSummary& l = summary.modes[m];
    if (l.minutesLeft.empty()) {
      out << "no switch with minutes left to measure\n";
      continue;
    }
    out << "minutes left at its switches: " << minutesSummaryText(l) << "\n";
  }
  const std::int64_t target = options.targetMinutes;
  const ThresholdAdvice& c = summary.advice;
  out << "\nAdvice, for at least " << target << " min left (Smart AI Mode's target):\n"
      << "  Classic:  ";
  if (c.tooFew) {
    out << "no advice: no threshold from 10 to 90% was reached in " << kFewestDischargesToAdvise
        << " discharges (at most " << c.mostReached << ")";
  } else if (c.threshold) {
    out << *c.threshold << "% is the lowest threshold that left " << target
        << " min or more in most discharges that reached it (" << c.fit << " of " << c.reached
        << ")";
    if (c.lowerNotJudged) out << "; lower ones were reached in too few to judge";
  } else {
    out << "no threshold from 10 to 90% left " << target
        << " min or more in most discharges that reached it";
  }
  out << ".\n";
  const ModeSummary& current = summary.modes[0];
  if (!current.minutesLeft.empty()) {
    out << "            At " << options.threshold << "% it left " << target << " min or more in "
        << current.fit(target) << " of " << current.minutesLeft.size() << " ("
        << minutesSummaryText(current) << ").\n";
  }
  const ModeSummary& smart = summary.byPrediction;
  out << "  Smart AI: "
      << (smart.minutesLeft.empty()
              ? "it never switched by its prediction"
              : "switching by its prediction it left " + minutesSummaryText(smart) + " (target " +
                    std::to_string(target) + " min, " + counted(smart.switches, "discharge") + ")")
      << ".\n";
  return out.str();
}

std::string whatIfJson(const Trace& trace, const WhatIfOptions& options,
                       const WhatIfResult& result) {
  std::string out = "{\"discharges\":[";
  for (std::size_t i = 0; i < result.episodes.size(); ++i) {
    const Episode& e = result.episodes[i];
    JsonObject d;
    d.add("start", isoTime(trace.start + e.from))
        .add("end", isoTime(trace.start + e.to))
        .addRaw("startLevel", percentText(e.startPercent))
        .addRaw("endLevel", percentText(e.endPercent));
    for (std::size_t m = 0; m < kModes.size(); ++m) {
      const EpisodeSwitch s = switchIn(trace, e, result.*kModes[m]);
      const double predicted = s.at && s.at->predictedMinutes
                                   ? static_cast<double>(*s.at->predictedMinutes)
                                   : NAN;  // null
      d.addRaw(m == 0 ? "classic" : "smart",
               !s.at ? "null"
                     : JsonObject()
                           .add("time", isoTime(trace.start + s.at->t))
                           .add("level", s.at->level)
                           .add("rule", s.at->rule)
                           .addNumber("predictedMinutes", predicted, 0)
                           .addNumber("minutesLeft", s.minutesLeft.value_or(NAN), 1)
                           .str());
    }
    if (i) out += ',';
    out += d.str();
  }
  const Summary summary = summarise(trace, options, result);
  const auto count = [](std::size_t n) { return static_cast<std::int64_t>(n); };
  JsonObject modes;
  for (std::size_t m = 0; m < kModes.size(); ++m) {
    modes.addRaw(m == 0 ? "classic" : "smart",
                 JsonObject()
                     .add("switches", count(summary.modes[m].switches))
                     .addRaw("minutesLeft", minutesSummaryJson(summary.modes[m]))
                     .str());
  }
  const ThresholdAdvice& a = summary.advice;
  JsonObject classic;
  classic.addNumber("threshold", a.threshold ? static_cast<double>(*a.threshold) : NAN, 0);
  if (a.threshold) classic.add("fit", count(a.fit)).add("reached", count(a.reached));
  const ModeSummary& current = summary.modes[0];
  classic.add("tooFewDischarges", a.tooFew)
      .addRaw("current", JsonObject()
                             .add("threshold", options.threshold)
                             .add("fit", current.fit(options.targetMinutes))
                             .add("reached", count(current.minutesLeft.size()))
                             .addRaw("minutesLeft", minutesSummaryJson(current))
                             .str());
  const std::string advice =
      JsonObject()
          .add("targetMinutes", options.targetMinutes)
          .addRaw("classic", classic.str())
          .addRaw("smart", JsonObject()
                               .add("predictionSwitches", count(summary.byPrediction.switches))
                               .addRaw("minutesLeft", minutesSummaryJson(summary.byPrediction))
                               .str())
          .str();
  return out + "],\"summary\":" + modes.str() + ",\"advice\":" + advice + "}\n";
}

namespace {

// The predictions drawn are averaged over this long.
constexpr double kSmoothingSeconds = 600.0;

// Round steps for the time axis: at most eight labels, so that none overlaps
// another, even the ones anchored at the edges.
double timeStep(double span) {
  static constexpr double kSteps[] = {600,   1800,      3600,      3 * 3600,   6 * 3600,  12 * 3600,
                                      86400, 2 * 86400, 7 * 86400, 14 * 86400, 28 * 86400};
  for (const double step : kSteps) {
    if (span / step <= 8) return step;
  }
  return 56 * 86400;
}

// The label of a time-axis tick: the date at whole days, else the time of day.
std::string tickText(const Trace& trace, double t, double step) {
  if (trace.dated) {
    return fake::formatUtc(trace.start + t + 0.5, step >= 86400 ? "%a %d %b" : "%d %b %H:%M");
  }
  const std::string text = trace.timeText(t);  // "day 3 10:05:30"
  return step >= 86400 ? text.substr(0, text.rfind(' ')) : text.substr(0, text.size() - 3);
}

}  // namespace

std::string whatIfSvg(const Trace& trace, const WhatIfOptions& options,
                      const WhatIfResult& result) {
  const double width = 1200, height = 562, left = 60, right = 80, top = 40, bottom = 102;
  const double plotW = width - left - right, plotH = height - top - bottom;
  const double span = std::max(trace.duration(), 1.0);
  // The minutes axis: whole hours, at least two and room above the target.
  std::int64_t maxMinutes = std::max<std::int64_t>(120, options.targetMinutes * 2);
  for (const auto& p : result.smart.predictions) maxMinutes = std::max(maxMinutes, p.second);
  maxMinutes = std::min<std::int64_t>(maxMinutes, 1200);
  std::int64_t minuteStep = 60;
  while (maxMinutes / minuteStep > 10) minuteStep *= 2;
  maxMinutes = (maxMinutes + minuteStep - 1) / minuteStep * minuteStep;
  auto x = [&](double t) { return left + t / span * plotW; };
  auto yPercent = [&](double p) { return top + (100.0 - p) / 100.0 * plotH; };
  auto yMinutes = [&](double m) {
    return top + (1.0 - std::min(m, static_cast<double>(maxMinutes)) / maxMinutes) * plotH;
  };
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(1);
  // The start of an element at a point, of a line, of a band of the plot's
  // height: its attributes and the end go on after it.
  const auto at = [&](const char* name, double x1, double y1) -> std::ostream& {
    return s << "<" << name << " x=\"" << x1 << "\" y=\"" << y1 << "\"";
  };
  const auto line = [&](double x1, double x2, double y1, double y2) -> std::ostream& {
    return s << "<line x1=\"" << x1 << "\" x2=\"" << x2 << "\" y1=\"" << y1 << "\" y2=\"" << y2
             << "\"";
  };
  const auto band = [&](double from, double to, const char* fill) {
    at("rect", x(from), top) << " width=\"" << std::max(0.5, x(to) - x(from)) << "\" height=\""
                             << plotH << "\" fill=\"" << fill << "\"/>\n";
  };
  // Plain attributes only: librsvg and browsers draw these alike.
  s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
    << "\" viewBox=\"0 0 " << width << " " << height
    << "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"12\">\n";
  s << "<rect fill=\"white\" width=\"" << width << "\" height=\"" << height << "\"/>\n";
  s << "<text x=\"" << left << "\" y=\"24\" font-size=\"16\">What if: " << escapeMarkup(trace.file)
    << (trace.dated ? " (times UTC)" : "") << "</text>\n";
  // Charging stretches, shaded: one rectangle for each run of charging rows, from
  // its first row to the row that ends it.
  for (std::size_t i = 0; i + 1 < trace.points.size();) {
    if (!trace.points[i].charging) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end + 1 < trace.points.size() && trace.points[end].charging) ++end;
    band(trace.points[i].t, trace.points[end].t, "#e6f4e6");
    i = end;
  }
  // Sleep, in grey: no check ran there, and the curve is broken across it.
  for (const auto& [from, to] : trace.asleep) band(from, to, "#e4e4e4");
  // Axes and grid: percent on the left, minutes on the right, each with its own ticks.
  for (int p = 0; p <= 100; p += 20) {
    line(left, left + plotW, yPercent(p), yPercent(p)) << " stroke=\"#ddd\"/>\n";
    at("text", left - 8, yPercent(p) + 4) << " text-anchor=\"end\">" << p << "%</text>\n";
  }
  for (std::int64_t m = 0; m <= maxMinutes; m += minuteStep) {
    const double y = yMinutes(static_cast<double>(m));
    line(left + plotW, left + plotW + 4, y, y) << " stroke=\"#7a3ea0\"/>\n";
    at("text", left + plotW + 8, y + 4) << " fill=\"#7a3ea0\">" << m << " min</text>\n";
  }
  const double target = yMinutes(static_cast<double>(options.targetMinutes));
  line(left, left + plotW, target, target) << " stroke=\"#7a3ea0\" stroke-dasharray=\"2 3\"/>\n";
  // Time ticks at round moments: whole days (UTC for dated traces), or whole hours.
  const double step = timeStep(span);
  const double offset = trace.dated ? std::fmod(trace.start + kUnixToReferenceSeconds, step) : 0.0;
  for (double t = offset > 0 ? step - offset : 0.0; t <= span; t += step) {
    const std::string label = tickText(trace, t, step);
    // Labels near an edge are anchored inside the picture.
    const char* anchor = x(t) < left + 50 ? "start" : x(t) > left + plotW - 50 ? "end" : "middle";
    line(x(t), x(t), top + plotH, top + plotH + 4) << " stroke=\"#888\"/>\n";
    at("text", x(t), top + plotH + 18)
        << " text-anchor=\"" << anchor << "\">" << label << "</text>\n";
  }
  const double threshold = yPercent(static_cast<double>(options.threshold));
  line(left, left + plotW, threshold, threshold) << " stroke=\"#c33\" stroke-dasharray=\"6 4\"/>\n";
  // Battery curve, at most about two points per pixel column, one line per
  // stretch awake: across a sleep only a dotted line joins the level before it
  // to the level after it.
  const auto& levels = result.levels;
  const std::size_t stride = std::max<std::size_t>(1, levels.size() / 2400);
  const auto point = [&](std::size_t i) {
    std::ostringstream p;
    p.setf(std::ios::fixed);
    p.precision(1);
    p << x(levels[i].first) << "," << yPercent(static_cast<double>(levels[i].second));
    return p.str();
  };
  const char* const curve = "<polyline fill=\"none\" stroke=\"#1f6fb2\" stroke-width=\"1.5\"";
  auto asleep = trace.asleep.begin();
  s << curve << " points=\"";
  for (std::size_t i = 0; i < levels.size();) {
    s << point(i) << " ";
    std::size_t next = std::min(i + stride, levels.size());
    while (asleep != trace.asleep.end() && asleep->second <= levels[i].first) ++asleep;
    if (asleep != trace.asleep.end() && next < levels.size() &&
        levels[next].first >= asleep->second) {
      // The last pass before the sleep, and the first after it.
      std::size_t before = i;
      while (before + 1 < levels.size() && levels[before + 1].first <= asleep->first) ++before;
      next = before + 1;
      if (before != i) s << point(before);
      if (next < levels.size()) {
        s << "\"/>\n<polyline fill=\"none\" stroke=\"#1f6fb2\" stroke-dasharray=\"1 3\" points=\""
          << point(before) << " " << point(next) << "\"/>\n"
          << curve << " points=\"";
      }
    }
    i = next;
  }
  s << "\"/>\n";
  // Predictions on the minutes axis: one line per discharge. Whole-percent
  // steps make the ten-minute rate, and so each check's prediction, jump
  // between a few values; the line is their average over the last ten
  // minutes, one point per pixel column at most.
  const auto& predictions = result.smart.predictions;
  std::size_t p = 0;
  for (const Episode& e : result.episodes) {
    while (p < predictions.size() && predictions[p].first < e.from) ++p;
    std::ostringstream points;
    points.setf(std::ios::fixed);
    points.precision(1);
    std::size_t from = p, count = 0;
    double sum = 0.0, lastX = -1.0;
    for (; p < predictions.size() && predictions[p].first <= e.to; ++p) {
      sum += static_cast<double>(predictions[p].second);
      while (predictions[from].first <= predictions[p].first - kSmoothingSeconds) {
        sum -= static_cast<double>(predictions[from++].second);
      }
      const double px = x(predictions[p].first);
      if (px - lastX < 1.0) continue;
      points << px << "," << yMinutes(sum / static_cast<double>(p - from + 1)) << " ";
      lastX = px;
      ++count;
    }
    if (count < 2) continue;
    s << "<polyline fill=\"none\" stroke=\"#7a3ea0\" stroke-width=\"1.5\" points=\"" << points.str()
      << "\"/>\n";
  }
  for (const auto& sw : result.classic.switches) {
    s << "<circle cx=\"" << x(sw.t) << "\" cy=\"" << yPercent(static_cast<double>(sw.level))
      << "\" r=\"6\" fill=\"none\" stroke=\"#c33\" stroke-width=\"2\"><title>Classic: "
      << trace.timeText(sw.t) << ", " << sw.level << "%</title></circle>\n";
  }
  for (const auto& sw : result.smart.switches) {
    const double cx = x(sw.t), cy = yPercent(static_cast<double>(sw.level));
    s << "<path d=\"M" << cx << "," << cy - 7 << " L" << cx + 6 << "," << cy + 5 << " L" << cx - 6
      << "," << cy + 5 << " Z\" fill=\"#e08a00\"><title>Smart AI: " << trace.timeText(sw.t) << ", "
      << sw.level << "% (" << sw.rule << ")</title></path>\n";
  }
  // The legend, in two rows so that no entry runs off the picture, and the advice.
  const double ly1 = height - 58, ly2 = height - 36, ly3 = height - 14;
  line(left, left + 24, ly1 - 4, ly1 - 4) << " stroke=\"#1f6fb2\" stroke-width=\"2\"/>";
  at("text", left + 30, ly1) << ">battery (left axis)</text>\n";
  line(left + 180, left + 204, ly1 - 4, ly1 - 4) << " stroke=\"#7a3ea0\" stroke-width=\"1.5\"/>";
  at("text", left + 210, ly1) << ">Smart AI prediction, 10-min average (right axis)</text>\n";
  line(left + 560, left + 584, ly1 - 4, ly1 - 4)
      << " stroke=\"#7a3ea0\" stroke-dasharray=\"2 3\"/>";
  at("text", left + 590, ly1) << ">target " << options.targetMinutes
                              << " min (right axis)</text>\n";
  at("rect", left + 760, ly1 - 12) << " width=\"20\" height=\"12\" fill=\"#e6f4e6\"/>";
  at("text", left + 786, ly1) << ">charging</text>\n";
  s << "<circle cx=\"" << left + 6 << "\" cy=\"" << ly2 - 4
    << "\" r=\"6\" fill=\"none\" stroke=\"#c33\" stroke-width=\"2\"/>";
  at("text", left + 18, ly2) << ">Classic switch (threshold " << options.threshold
                             << "%, dashed)</text>\n";
  s << "<path d=\"M" << left + 306 << "," << ly2 - 11 << " L" << left + 312 << "," << ly2 + 1
    << " L" << left + 300 << "," << ly2 + 1 << " Z\" fill=\"#e08a00\"/>";
  at("text", left + 320, ly2) << ">Smart AI switch</text>\n";
  at("rect", left + 460, ly2 - 12) << " width=\"20\" height=\"12\" fill=\"#e4e4e4\"/>";
  at("text", left + 486, ly2) << ">asleep or off (no checks; curve dotted)</text>\n";
  const Summary summary = summarise(trace, options, result);
  const ThresholdAdvice& a = summary.advice;
  // The advice, short enough for the picture's width.
  at("text", left, ly3) << ">Advice for " << options.targetMinutes << "+ min left: ";
  if (a.tooFew) {
    s << "too few discharges to advise a threshold";
  } else if (a.threshold) {
    s << "a threshold of " << *a.threshold << "% (it left that in " << a.fit << " of " << a.reached
      << " discharges that reached it)";
  } else {
    s << "no threshold left that in most discharges";
  }
  s << "; Smart AI Mode ";
  if (summary.byPrediction.minutesLeft.empty()) {
    s << "never switched by its prediction";
  } else {
    s << "left " << minutesSummaryText(summary.byPrediction) << " by its prediction";
  }
  s << "</text>\n";
  s << "</svg>\n";
  return s.str();
}

}  // namespace kestrine::sim
