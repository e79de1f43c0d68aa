#include "sim/scenario.h"

#include <algorithm>

#include <charconv>
#include <cmath>
#include <set>

#include "platform/sim/virtual_clock.h"
#include "settings/file_store.h"

namespace kestrine::sim {

std::string InputError::str() const {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

namespace {

std::vector<std::string> words(std::string_view line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.emplace_back(line.substr(start, i - start));
  }
  return out;
}

// The rest of `line` after its first `count` words and one blank.
std::string restAfterWords(std::string_view line, int count) {
  std::size_t i = 0;
  for (int w = 0; w < count; ++w) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
  }
  if (i < line.size()) ++i;  // the one separating blank
  return std::string(line.substr(std::min(i, line.size())));
}

std::optional<long long> integer(std::string_view text) {
  long long value = 0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// \n, \t, \r and \\ in report texts; any other escape is refused.
std::optional<std::string> unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size() || std::string_view("ntr\\").find(text[i]) == std::string_view::npos) {
      return std::nullopt;
    }
    out += escapedCharacter(text[i]);
  }
  return out;
}

bool safeHomeName(std::string_view name) {
  if (name.empty() || name.front() == '/') return false;
  const std::filesystem::path p(name);
  for (const auto& part : p) {
    if (part == ".." || part == ".") return false;
  }
  return true;
}

// Every button a Kestrine alert offers: the welcome alert's two and OK, the
// single default button of all the others.
constexpr std::string_view kAlertButtons[] = {"Continue", "Quit", "OK"};

const std::set<std::string> kMenuActions = {
    "toggleSmartMode", "changeThreshold:", "showBatteryInfo",
    "showPowerMode",   "showAbout",        "terminate:"};

}  // namespace

std::optional<std::string> readInputFile(const std::filesystem::path& path) {
  // The application's own reader: a directory or a FIFO in the file's place is
  // refused instead of read as empty or waited on.
  return readWholeFile(path).bytes;
}

std::optional<double> parseNumber(std::string_view text) {
  double value = 0.0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

static std::optional<double> parseAnyDuration(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char unit = text.back();
  if (unit == 's' || unit == 'm' || unit == 'h' || unit == 'd') {
    const auto value = parseNumber(text.substr(0, text.size() - 1));
    if (!value || *value < 0) return std::nullopt;
    const double scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : 86400;
    return *value * scale;
  }
  double days = 0;
  if (const auto d = text.find('d'); d != std::string_view::npos) {
    const auto n = integer(text.substr(0, d));
    if (!n || *n < 0) return std::nullopt;
    days = static_cast<double>(*n);
    text = text.substr(d + 1);
  }
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const auto colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  const auto hours = integer(parts[0]);
  const auto minutes = integer(parts[1]);
  std::optional<double> seconds = 0.0;
  if (parts.size() == 3) seconds = parseNumber(parts[2]);
  if (!hours || !minutes || !seconds || *hours < 0 || *minutes < 0 || *minutes > 59 ||
      parts[1].size() != 2 || *seconds < 0 || *seconds >= 60) {
    return std::nullopt;
  }
  return days * 86400 + static_cast<double>(*hours) * 3600 + static_cast<double>(*minutes) * 60 +
         *seconds;
}

std::optional<double> parseDuration(std::string_view text) {
  const auto seconds = parseAnyDuration(text);
  // Virtual time runs pass by pass: a longer span would never end.
  if (!seconds || *seconds > kLongestDuration) return std::nullopt;
  return seconds;
}

std::optional<WallTime> parseIsoTime(std::string_view text) {
  if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
  // YYYY-MM-DDTHH:MM[:SS]
  if (text.size() != 16 && text.size() != 19) return std::nullopt;
  if (text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') || text[13] != ':' ||
      (text.size() == 19 && text[16] != ':')) {
    return std::nullopt;
  }
  const auto year = integer(text.substr(0, 4));
  const auto month = integer(text.substr(5, 2));
  const auto day = integer(text.substr(8, 2));
  const auto hour = integer(text.substr(11, 2));
  const auto minute = integer(text.substr(14, 2));
  const auto second = text.size() == 19 ? integer(text.substr(17, 2)) : std::optional<long long>(0);
  if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *month > 12 ||
      *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  if (*day > kDays[*month - 1] || (*month == 2 && *day == 29 && !leap)) return std::nullopt;
  return wallTimeFromCivil(static_cast<int>(*year), static_cast<unsigned>(*month),
                           static_cast<unsigned>(*day), static_cast<int>(*hour),
                           static_cast<int>(*minute), static_cast<double>(*second));
}

ScenarioParse parseScenario(std::string_view text, const std::string& fileName,
                            const std::filesystem::path& baseDir) {
  Scenario scenario;
  scenario.file = fileName;
  scenario.start = wallTimeFromCivil(2026, 3, 14, 9, 0, 0.0);
  bool haveStart = false, haveUser = false, haveEnd = false, timelineBegun = false;
  int lineNumber = 0;
  double lastAt = 0.0;
  auto fail = [&](std::string message) {
    return ScenarioParse{std::nullopt, InputError{fileName, lineNumber, std::move(message)}};
  };

  std::size_t pos = 0;
  while (pos <= text.size()) {
    auto eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto w = words(line);
    if (w.empty() || w[0].starts_with("#")) {
      if (eol == text.size()) break;
      continue;
    }

    // Set-up lines.
    if (w[0] == "start" || w[0] == "user" || w[0] == "end" || w[0] == "file" ||
        w[0] == "file-from") {
      if (w[0] == "end") {
        if (haveEnd) return fail("'end' given twice");
        if (w.size() != 2) return fail("'end' takes one time, e.g. 'end 2:00:00'");
        const auto at = parseDuration(w[1]);
        if (!at)
          return fail("bad time '" + w[1] + "' (use H:MM:SS, 2d3:00:00 or 90s; at most 400d)");
        scenario.end = *at;
        haveEnd = true;
      } else if (timelineBegun) {
        return fail("'" + w[0] + "' belongs before the timeline");
      } else if (w[0] == "start") {
        if (haveStart) return fail("'start' given twice");
        if (w.size() != 2) return fail("'start' takes one date and time, e.g. 2026-03-14T09:00:00");
        const auto start = parseIsoTime(w[1]);
        if (!start) return fail("bad start time '" + w[1] + "' (use 2026-03-14T09:00:00)");
        scenario.start = *start;
        haveStart = true;
      } else if (w[0] == "user") {
        if (haveUser) return fail("'user' given twice");
        if (w.size() != 2) return fail("'user' takes one short login name");
        scenario.user = w[1];
        haveUser = true;
      } else if (w[0] == "file") {
        if (w.size() < 2)
          return fail("'file' needs a name, e.g. 'file .kestrine_config.json {...}'");
        if (!safeHomeName(w[1]))
          return fail("file name '" + w[1] + "' must stay inside the home folder");
        scenario.homeFiles.emplace_back(w[1], restAfterWords(line, 2));
      } else {
        if (w.size() != 3) return fail("'file-from' takes a home file name and a source path");
        if (!safeHomeName(w[1]))
          return fail("file name '" + w[1] + "' must stay inside the home folder");
        auto content = readInputFile(baseDir / w[2]);
        if (!content) return fail("cannot read '" + (baseDir / w[2]).string() + "'");
        scenario.homeFiles.emplace_back(w[1], std::move(*content));
      }
      if (eol == text.size()) break;
      continue;
    }

    // Steps, timed with "at TIME" or at 0:00 without it.
    ScenarioStep step;
    step.line = lineNumber;
    int skip = 0;
    const bool hasAt = w[0] == "at";
    if (hasAt) {
      if (w.size() < 3) return fail("'at' needs a time and a step, e.g. 'at 0:10:00 unplug'");
      const auto at = parseDuration(w[1]);
      if (!at) return fail("bad time '" + w[1] + "' (use H:MM:SS, 2d3:00:00 or 90s; at most 400d)");
      step.at = *at;
      timelineBegun = true;
      w.erase(w.begin(), w.begin() + 2);
      skip = 2;
    }
    if (step.at < lastAt) {
      return fail(timelineBegun && !hasAt ? "a step without 'at' belongs before the timeline"
                                          : "the timeline goes back in time");
    }
    lastAt = step.at;
    step.keyword = w[0];
    step.args.assign(w.begin() + 1, w.end());
    const auto& k = step.keyword;
    const auto n = step.args.size();
    auto wantArgs = [&](std::size_t count, std::string_view usage) -> std::optional<ScenarioParse> {
      if (n != count) return fail("'" + k + "' " + std::string(usage));
      return std::nullopt;
    };
    if (k == "plug" || k == "unplug" || k == "restart" || k == "quit") {
      if (auto e = wantArgs(0, "takes no arguments")) return *e;
    } else if (k == "battery" || k == "drain" || k == "charge") {
      if (auto e = wantArgs(1, "takes one number")) return *e;
      const auto value = parseNumber(step.args[0]);
      if (!value || *value < 0 || (k == "battery" && *value > 100)) {
        return fail("'" + k + "' needs " +
                    std::string(k == "battery" ? "a percentage from 0 to 100"
                                               : "a rate of 0 or more (points per minute)") +
                    ", not '" + step.args[0] + "'");
      }
      step.number = *value;
    } else if (k == "sleep") {
      if (n != 1 || !parseDuration(step.args[0]) || *parseDuration(step.args[0]) <= 0) {
        return fail("'sleep' takes a duration, e.g. 'sleep 8h'");
      }
      step.number = *parseDuration(step.args[0]);
    } else if (k == "power") {
      if (n != 1 || (step.args[0] != "battery" && step.args[0] != "mains")) {
        return fail("'power' takes 'battery' or 'mains'");
      }
    } else if (k == "lowpowermode") {
      if (auto e = wantArgs(1, "takes one whole number (0 off, 1 on)")) return *e;
      const auto value = integer(step.args[0]);
      if (!value) return fail("'lowpowermode' needs a whole number, not '" + step.args[0] + "'");
      step.number = static_cast<double>(*value);
    } else if (k == "level") {
      if (n != 1 || (step.args[0] != "none" && step.args[0] != "available")) {
        return fail("'level' takes 'none' or 'available'");
      }
    } else if (k == "sudoers-rule") {
      if (n != 1 || (step.args[0] != "installed" && step.args[0] != "absent")) {
        return fail("'sudoers-rule' takes 'installed' or 'absent'");
      }
    } else if (k == "report") {
      if (n < 2 || (step.args[0] != "batt" && step.args[0] != "custom")) {
        return fail("'report' takes 'batt' or 'custom' and a text (or 'auto')");
      }
      const auto raw = restAfterWords(line, skip + 2);
      const auto unescaped = unescape(raw);
      if (!unescaped) return fail("bad escape in report text (use \\n, \\t, \\r or \\\\)");
      step.text = *unescaped;
    } else if (k == "tool") {
      if (n < 2 || !toolKeyFromName(step.args[0])) {
        return fail("'tool' takes batt, custom, sudo or osascript and an outcome");
      }
      const auto& o = step.args[1];
      if (o == "exit") {
        if (n != 3 || !integer(step.args[2]) || *integer(step.args[2]) < 0 ||
            *integer(step.args[2]) > 255) {
          return fail("'exit' needs a status from 0 to 255");
        }
        step.number = static_cast<double>(*integer(step.args[2]));
      } else if (n != 2 || (o != "normal" && o != "fail-start" && o != "hang")) {
        return fail("unknown tool outcome '" + o + "' (normal, fail-start, hang or exit N)");
      } else if (o == "hang" && step.args[0] != "batt" && step.args[0] != "custom") {
        return fail("only the reports (batt, custom) can hang");
      }
    } else if (k == "menu") {
      if (n < 1 || !kMenuActions.contains(step.args[0])) {
        return fail(
            "'menu' takes an action: toggleSmartMode, changeThreshold: N, "
            "showBatteryInfo, showPowerMode, showAbout or terminate:");
      }
      if (step.args[0] == "changeThreshold:") {
        if (n != 2 || !integer(step.args[1]))
          return fail("'changeThreshold:' needs a whole-number tag");
        step.number = static_cast<double>(*integer(step.args[1]));
      } else if (n != 1) {
        return fail("'" + step.args[0] + "' takes no tag");
      }
    } else if (k == "answer" || k == "password") {
      std::vector<std::string> a = step.args;
      if (a.size() >= 2 && a[a.size() - 2] == "after") {
        const auto delay = parseDuration(a.back());
        if (!delay) return fail("bad delay '" + a.back() + "'");
        step.seconds = *delay;
        a.resize(a.size() - 2);
      }
      if (a.empty())
        return fail("'" + k + "' needs " + (k == "answer" ? "a button title" : "accept or cancel"));
      if (k == "password" && (a.size() != 1 || (a[0] != "accept" && a[0] != "cancel"))) {
        return fail("'password' takes 'accept' or 'cancel'");
      }
      std::string joined;
      for (const auto& part : a) joined += (joined.empty() ? "" : " ") + part;
      if (k == "answer" && std::find(std::begin(kAlertButtons), std::end(kAlertButtons), joined) ==
                               std::end(kAlertButtons)) {
        return fail("no Kestrine alert offers '" + joined +
                    "'; the buttons are Continue, Quit and OK");
      }
      step.text = joined;
    } else {
      return fail("unknown step '" + k + "'");
    }
    if (step.at == 0.0 && (k == "restart" || k == "quit")) {
      return fail("'" + k + "' needs a time after the start");
    }
    scenario.steps.push_back(std::move(step));
    if (eol == text.size()) break;
  }
  lineNumber = 0;
  if (!haveEnd) return fail("no 'end' line: say how long the run lasts, e.g. 'end 1:00:00'");
  for (const auto& step : scenario.steps) {
    if (step.at > scenario.end) {
      lineNumber = step.line;
      return fail("step after the end of the run");
    }
  }
  return ScenarioParse{std::move(scenario), std::nullopt};
}

ScenarioParse loadScenario(const std::filesystem::path& path) {
  const auto content = readInputFile(path);
  if (!content) return ScenarioParse{std::nullopt, InputError{path.string(), 0, "cannot be read"}};
  return parseScenario(*content, path.string(), path.parent_path());
}

namespace {

void applyStep(const ScenarioStep& step, LaptopRun& run) {
  VirtualLaptop& m = run.laptop();
  const auto& k = step.keyword;
  std::string words = k;
  for (const auto& a : step.args) words += " " + a;
  if (k == "menu") {
    run.menuAction(step.args[0], static_cast<std::int64_t>(step.number));
    return;
  }
  if (k == "answer") {
    run.queueAnswer(step.text, step.seconds);
    return;
  }
  if (k == "password") {
    m.queuePasswordAnswer({step.text == "accept", step.seconds});
    return;
  }
  if (k == "sleep") {
    run.sleep(step.number);
    return;
  }
  if (k == "restart") {
    run.note("restart");
    run.quit();
    if (!run.sim().loop.isTerminated()) run.launch();
    return;
  }
  if (k == "quit") {
    run.note("quit");
    run.quit();
    return;
  }
  if (k == "plug" || (k == "power" && step.args[0] == "mains")) {
    m.battery().setOnMains(true);
  } else if (k == "unplug" || k == "power") {
    m.battery().setOnMains(false);
  } else if (k == "battery") {
    m.battery().setPercent(step.number);
  } else if (k == "drain") {
    m.battery().setDrainPerMinute(step.number);
  } else if (k == "charge") {
    m.battery().setChargePerMinute(step.number);
  } else if (k == "lowpowermode") {
    m.setLowPowerMode(static_cast<std::int64_t>(step.number));
  } else if (k == "level") {
    m.setLevelAvailable(step.args[0] == "available");
  } else if (k == "sudoers-rule") {
    if (step.args[0] == "installed") {
      m.installRule();
    } else {
      m.removeRule();
    }
  } else if (k == "report") {
    std::optional<std::string> text;
    if (step.text != "auto") text = step.text;
    if (step.args[0] == "batt") {
      m.setBatteryReportText(text);
    } else {
      m.setCustomReportText(text);
    }
    words = "report " + step.args[0] + (text ? " (verbatim)" : " auto");
  } else if (k == "tool") {
    ToolOutcome outcome;
    const auto& o = step.args[1];
    outcome.kind = o == "fail-start" ? ToolOutcome::Kind::kFailStart
                   : o == "hang"     ? ToolOutcome::Kind::kHang
                   : o == "exit"     ? ToolOutcome::Kind::kExit
                                     : ToolOutcome::Kind::kNormal;
    outcome.status = static_cast<int>(step.number);
    m.setToolOutcome(*toolKeyFromName(step.args[0]), outcome);
  }
  run.note(words);
}

}  // namespace

void playScenario(const Scenario& scenario, LaptopRun& run) {
  for (const auto& [name, content] : scenario.homeFiles) run.writeHomeFile(name, content);
  std::size_t next = 0;
  // The machine as it is when the application starts.
  while (next < scenario.steps.size() && scenario.steps[next].at == 0.0 &&
         scenario.steps[next].keyword != "menu") {
    applyStep(scenario.steps[next++], run);
  }
  // Changes to the machine itself, which happen even while the application waits.
  static const std::set<std::string> kMachineSteps = {
      "battery",      "plug",  "unplug",       "power",  "drain", "charge",
      "lowpowermode", "level", "sudoers-rule", "report", "tool"};
  run.machineChangesUntil = [&](WallTime until) {
    while (next < scenario.steps.size() && scenario.start + scenario.steps[next].at <= until &&
           kMachineSteps.contains(scenario.steps[next].keyword)) {
      run.sim().loop.passTimeBlocked(scenario.start + scenario.steps[next].at - run.now());
      applyStep(scenario.steps[next++], run);
    }
  };
  run.launch();
  while (next < scenario.steps.size()) {
    const ScenarioStep& step = scenario.steps[next];
    run.runUntilJustBefore(scenario.start + step.at);
    if (run.sim().loop.isTerminated()) break;
    if (&scenario.steps[next] != &step) continue;  // it happened while the application waited
    ++next;
    applyStep(step, run);
  }
  run.runUntil(scenario.start + scenario.end);
  run.log().add(run.now(), "end", JsonObject(), "end");
  run.quit();
  run.machineChangesUntil = nullptr;
}

}  // namespace kestrine::sim
