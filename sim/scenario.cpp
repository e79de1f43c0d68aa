#include "sim/scenario.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>

#include "platform/fake/calendar.h"
#include "sim/menu_actions.h"
#include "storage/file_store.h"

namespace kestrine::sim {

namespace {

std::vector<std::string> words(std::string_view line) {
  std::vector<std::string> out;
  for (auto at = line.find_first_not_of(" \t"); at != std::string_view::npos;
       at = line.find_first_not_of(" \t", at)) {
    const auto end = std::min(line.find_first_of(" \t", at), line.size());
    out.emplace_back(line.substr(at, end - at));
    at = end;
  }
  return out;
}

// The rest of `line` after its first `count` words and one blank.
std::string restAfterWords(std::string_view line, int count) {
  std::size_t i = 0;
  for (int w = 0; w < count; ++w) i = line.find_first_of(" \t", line.find_first_not_of(" \t", i));
  return i < line.size() ? std::string(line.substr(i + 1)) : std::string();
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
  return name.back() != '/';
}

// A name that an earlier file's would make a folder of, or the other way
// round, or the same name twice: the home cannot hold both.
bool clashesWithEarlier(const Scenario& scenario, std::string_view name) {
  const auto mine = std::filesystem::path(name).lexically_normal();
  for (const auto& earlier : scenario.homeFiles) {
    const auto theirs = std::filesystem::path(earlier.first).lexically_normal();
    const auto [a, b] = std::mismatch(mine.begin(), mine.end(), theirs.begin(), theirs.end());
    if (a == mine.end() || b == theirs.end()) return true;
  }
  return false;
}

// Every button a Kestrine alert offers: the welcome alert's two and OK, the
// single default button of all the others.
constexpr std::string_view kAlertButtons[] = {"Continue", "Quit", "OK"};

// What a step's words say, for its parser.
struct StepWords {
  ScenarioStep& step;     // keyword and args filled in; the parser sets the rest
  std::string_view line;  // the whole line, for verbatim texts
  int skip;               // the words before the keyword ("at TIME")
};

// One kind of scenario step: its keyword, the parser of its arguments (the
// error, if any) and what it does when played. A step that takes one word of
// a few names them in `choices` instead, and gets the word's place in
// `whole`; one with neither takes no arguments. Machine steps change the
// machine itself, at their times whatever the application is doing.
struct StepKind {
  std::string_view keyword;
  std::optional<std::string> (*parse)(StepWords&);
  void (*apply)(const ScenarioStep&, LaptopRun&);
  bool machine;
  std::string_view choices = {};
};

std::optional<std::string> parseStep(const StepKind& kind, StepWords& w) {
  const auto& a = w.step.args;
  if (kind.parse) return kind.parse(w);
  if (kind.choices.empty()) {
    if (a.empty()) return std::nullopt;
    return "'" + w.step.keyword + "' takes no arguments";
  }
  const std::vector<std::string> choices = words(kind.choices);
  const auto found =
      a.size() == 1 ? std::find(choices.begin(), choices.end(), a[0]) : choices.end();
  w.step.whole = found - choices.begin();
  if (found != choices.end()) return std::nullopt;
  std::string list;
  for (std::size_t i = 0; i < choices.size(); ++i)
    list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + ("'" + choices[i] + "'");
  return "'" + w.step.keyword + "' takes " + list;
}

std::optional<std::string> oneNumber(StepWords& w) {
  const auto& k = w.step.keyword;
  if (w.step.args.size() != 1) return "'" + k + "' takes one number";
  const auto value = parseNumber(w.step.args[0]);
  const bool battery = k == "battery";
  // Rates in percentage points per minute: 0, or from a point in 1000 minutes
  // to a whole charge in one, so that the time left the battery report
  // estimates is always a whole number of minutes that fits.
  if (!value || *value < 0 || (battery && *value > 100) ||
      (!battery && *value != 0 && (*value < 0.001 || *value > 100))) {
    return "'" + k + "' needs " +
           std::string(battery ? "a percentage from 0 to 100"
                               : "a rate of 0 or from 0.001 to 100 (points per minute)") +
           ", not '" + w.step.args[0] + "'";
  }
  w.step.number = *value;
  return std::nullopt;
}

// A whole number from `low` to `high` as the step's `whole`; the error otherwise.
std::optional<std::string> wholeNumber(StepWords& w, const std::string& text, std::int64_t low,
                                       std::int64_t high, const std::string& what) {
  const auto value = parseInteger(text);
  if (!value || *value < low || *value > high) {
    return what + " from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
           text + "'";
  }
  w.step.whole = *value;
  return std::nullopt;
}

std::optional<std::string> parseAnswer(StepWords& w) {
  const auto& k = w.step.keyword;
  std::vector<std::string> a = w.step.args;
  if (a.size() >= 2 && a[a.size() - 2] == "after") {
    const auto delay = parseDuration(a.back());
    if (!delay) return "bad delay '" + a.back() + "' (at most 400d)";
    w.step.seconds = *delay;
    a.resize(a.size() - 2);
  }
  if (a.empty())
    return "'" + k + "' needs " + (k == "answer" ? "a button title" : "accept or cancel");
  if (k == "password" && (a.size() != 1 || (a[0] != "accept" && a[0] != "cancel"))) {
    return "'password' takes 'accept' or 'cancel'";
  }
  std::string joined;
  for (const auto& part : a) joined += (joined.empty() ? "" : " ") + part;
  if (k == "answer" && std::find(std::begin(kAlertButtons), std::end(kAlertButtons), joined) ==
                           std::end(kAlertButtons)) {
    return "no Kestrine alert offers '" + joined + "'; the buttons are Continue, Quit and OK";
  }
  w.step.text = joined;
  return std::nullopt;
}

const StepKind kStepKinds[] = {
    {"battery", oneNumber,
     [](const ScenarioStep& s, LaptopRun& r) { r.laptop().setPercent(s.number); }, true},
    {"drain", oneNumber,
     [](const ScenarioStep& s, LaptopRun& r) { r.laptop().setDrainPerMinute(s.number); }, true},
    {"charge", oneNumber,
     [](const ScenarioStep& s, LaptopRun& r) { r.laptop().setChargePerMinute(s.number); }, true},
    {"plug", nullptr, [](const ScenarioStep&, LaptopRun& r) { r.laptop().setOnMains(true); }, true},
    {"unplug", nullptr, [](const ScenarioStep&, LaptopRun& r) { r.laptop().setOnMains(false); },
     true},
    {"power", nullptr,
     [](const ScenarioStep& s, LaptopRun& r) { r.laptop().setOnMains(s.whole == 1); }, true,
     "battery mains"},
    {"lowpowermode",
     [](StepWords& w) -> std::optional<std::string> {
       // What pmset itself takes: 0 off, 1 on.
       if (w.step.args.size() != 1) return "'lowpowermode' takes one whole number (0 off, 1 on)";
       return wholeNumber(w, w.step.args[0], 0, 1, "'lowpowermode' needs a whole number");
     },
     [](const ScenarioStep& s, LaptopRun& r) { r.laptop().setLowPowerMode(s.whole); }, true},
    {"level", nullptr,
     [](const ScenarioStep& s, LaptopRun& r) { r.laptop().setLevelAvailable(s.whole == 1); }, true,
     "none available"},
    {"sudoers-rule", nullptr,
     [](const ScenarioStep& s, LaptopRun& r) {
       using Rule = VirtualLaptop::Rule;
       // Another file than Kestrine's: the setup leaves it alone.
       if (s.whole == 3) return r.laptop().setBroadRuleElsewhere(true);
       r.laptop().setRule(std::array{Rule::kExact, Rule::kBroad, Rule::kAbsent}[s.whole]);
     },
     true, "installed broad absent elsewhere"},
    {"report",
     [](StepWords& w) -> std::optional<std::string> {
       const auto& a = w.step.args;
       if (a.size() < 2 || (a[0] != "batt" && a[0] != "custom")) {
         return "'report' takes 'batt' or 'custom' and a text (or 'auto')";
       }
       const auto unescaped = unescape(restAfterWords(w.line, w.skip + 2));
       if (!unescaped) return "bad escape in report text (use \\n, \\t, \\r or \\\\)";
       w.step.text = *unescaped;
       return std::nullopt;
     },
     [](const ScenarioStep& s, LaptopRun& r) {
       std::optional<std::string> text;
       if (s.text != "auto") text = s.text;
       if (s.args[0] == "batt") {
         r.laptop().setBatteryReportText(text);
       } else {
         r.laptop().setCustomReportText(text);
       }
     },
     true},
    {"tool",
     [](StepWords& w) -> std::optional<std::string> {
       const auto& a = w.step.args;
       if (a.size() < 2 || !toolKeyFromName(a[0])) {
         return "'tool' takes batt, custom, sudo or osascript and an outcome";
       }
       // The outcomes in the order of ToolOutcome::Kind.
       const std::array<std::string_view, 4> kinds = {"normal", "fail-start", "exit", "hang"};
       w.step.number =
           static_cast<double>(std::find(kinds.begin(), kinds.end(), a[1]) - kinds.begin());
       if (a[1] == "exit") {
         return wholeNumber(w, a.size() == 3 ? a[2] : "", 0, 255, "'exit' needs a status");
       } else if (a.size() != 2 || w.step.number == kinds.size()) {
         return "unknown tool outcome '" + a[1] + "' (normal, fail-start, hang or exit N)";
       } else if (a[1] == "hang" && a[0] != "batt" && a[0] != "custom") {
         return "only the reports (batt, custom) can hang";
       }
       return std::nullopt;
     },
     [](const ScenarioStep& s, LaptopRun& r) {
       r.laptop().setToolOutcome(
           *toolKeyFromName(s.args[0]),
           {static_cast<ToolOutcome::Kind>(s.number), static_cast<int>(s.whole)});
     },
     true},
    {"menu",
     [](StepWords& w) -> std::optional<std::string> {
       const auto& a = w.step.args;
       if (a.empty() || !menuActionFromWord(a[0])) {
         return "'menu' takes an action: toggleSmartMode, changeThreshold: N, "
                "showBatteryInfo, showPowerMode, showAbout or terminate:";
       }
       if (menuActionFromWord(a[0]) == MenuAction::kChangeThreshold) {
         return wholeNumber(w, a.size() == 2 ? a[1] : "", 0, 100,
                            "'changeThreshold:' needs a whole-number tag (a percentage)");
       } else if (a.size() != 1) {
         return "'" + a[0] + "' takes no tag";
       }
       return std::nullopt;
     },
     [](const ScenarioStep& s, LaptopRun& r) {
       r.menuAction(*menuActionFromWord(s.args[0]), s.whole);
     },
     false},
    {"answer", parseAnswer,
     [](const ScenarioStep& s, LaptopRun& r) { r.queueAnswer(s.text, s.seconds); }, false},
    {"password", parseAnswer,
     [](const ScenarioStep& s, LaptopRun& r) {
       r.laptop().queuePasswordAnswer({s.text == "accept", s.seconds});
     },
     false},
    {"sleep",
     [](StepWords& w) -> std::optional<std::string> {
       const auto seconds = w.step.args.size() == 1 ? parseDuration(w.step.args[0]) : std::nullopt;
       if (!seconds || *seconds <= 0) return "'sleep' takes a duration up to 400d, e.g. 'sleep 8h'";
       w.step.number = *seconds;
       return std::nullopt;
     },
     [](const ScenarioStep& s, LaptopRun& r) { r.sleep(s.number); }, false},
    {"say",
     [](StepWords& w) -> std::optional<std::string> {
       if (w.step.args.empty()) return "'say' needs a text";
       return std::nullopt;
     },
     // The note that every change of the machine gets is all it does.
     [](const ScenarioStep&, LaptopRun&) {}, true},
    {"restart", nullptr,
     [](const ScenarioStep&, LaptopRun& r) {
       r.note("restart");
       r.quit();
       if (!r.sim().loop.isTerminated()) r.launch();
     },
     false},
    {"quit", nullptr,
     [](const ScenarioStep&, LaptopRun& r) {
       r.note("quit");
       r.quit();
     },
     false},
};

const StepKind* stepKind(std::string_view keyword) {
  for (const StepKind& kind : kStepKinds) {
    if (kind.keyword == keyword) return &kind;
  }
  return nullptr;
}

}  // namespace

ScenarioParse parseScenario(std::string_view text, const std::string& fileName,
                            const std::filesystem::path& baseDir) {
  Scenario scenario;
  scenario.file = fileName;
  scenario.start = fake::wallTimeFromCivil(2026, 3, 14, 9, 0, 0.0);
  std::set<std::string> given;  // the set-up lines given once
  bool timelineBegun = false;
  int lineNumber = 0;
  double lastAt = 0.0;
  double waited = 0.0;  // sleeps and answer delays: virtual time beyond the timeline
  auto fail = [&](std::string message) {
    return ScenarioParse{std::nullopt, InputError{fileName, lineNumber, std::move(message)}};
  };
  const auto badTime = [](const std::string& text) {
    return "bad time '" + text + "' (use H:MM:SS, 2d3:00:00 or 90s; at most 400d)";
  };

  Lines lines(text);
  std::string_view line;
  while (lines.next(line)) {
    lineNumber = lines.number();
    auto w = words(line);
    if (w.empty() || w[0].starts_with("#")) continue;

    // Set-up lines.
    const bool fileLine = w[0] == "file" || w[0] == "file-from";
    if (w[0] == "start" || w[0] == "user" || w[0] == "end" || fileLine) {
      if (w[0] != "end" && timelineBegun) return fail("'" + w[0] + "' belongs before the timeline");
      if (!fileLine && !given.insert(w[0]).second) return fail("'" + w[0] + "' given twice");
      if (w[0] == "end") {
        if (w.size() != 2) return fail("'end' takes one time, e.g. 'end 2:00:00'");
        const auto at = parseDuration(w[1]);
        if (!at) return fail(badTime(w[1]));
        scenario.end = *at;
      } else if (w[0] == "start") {
        if (w.size() != 2) return fail("'start' takes one date and time, e.g. 2026-03-14T09:00:00");
        const auto start = parseIsoTime(w[1]);
        if (!start) return fail("bad start time '" + w[1] + "' (use 2026-03-14T09:00:00)");
        if (*start < fake::wallTimeFromCivil(1970, 1, 1) ||
            *start >= fake::wallTimeFromCivil(2100, 1, 1)) {
          return fail("start time '" + w[1] + "' is not between 1970 and 2100");
        }
        scenario.start = *start;
      } else if (w[0] == "user") {
        if (w.size() != 2) return fail("'user' takes one short login name");
        scenario.user = w[1];
      } else {
        const bool copied = w[0] == "file-from";
        if (copied ? w.size() != 3 : w.size() < 2)
          return fail(copied ? "'file-from' takes a home file name and a source path"
                             : "'file' needs a name, e.g. 'file .kestrine_config.json {...}'");
        if (!safeHomeName(w[1]))
          return fail("file name '" + w[1] + "' must stay inside the home folder");
        if (clashesWithEarlier(scenario, w[1]))
          return fail("file name '" + w[1] + "' clashes with an earlier file's");
        auto content = copied ? readWholeFile(baseDir / w[2]).bytes : restAfterWords(line, 2);
        if (!content) return fail("cannot read '" + (baseDir / w[2]).string() + "'");
        scenario.homeFiles.emplace_back(w[1], std::move(*content));
      }
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
      if (!at) return fail(badTime(w[1]));
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
    const StepKind* kind = stepKind(k);
    if (!kind) return fail("unknown step '" + k + "'");
    StepWords stepWords{step, line, skip};
    if (auto error = parseStep(*kind, stepWords)) return fail(std::move(*error));
    if (step.at == 0.0 && (k == "restart" || k == "quit")) {
      return fail("'" + k + "' needs a time after the start");
    }
    waited += step.seconds + (k == "sleep" ? step.number : 0.0);
    if (waited > kLongestWait) return fail("the sleeps and answer delays add up to over 100 years");
    scenario.steps.push_back(std::move(step));
  }
  lineNumber = 0;
  if (!given.contains("end"))
    return fail("no 'end' line: say how long the run lasts, e.g. 'end 1:00:00'");
  for (const auto& step : scenario.steps) {
    if (step.at > scenario.end) {
      lineNumber = step.line;
      return fail("step after the end of the run");
    }
  }
  return ScenarioParse{std::move(scenario), std::nullopt};
}

ScenarioParse loadScenario(const std::filesystem::path& path) {
  const auto content = readWholeFile(path).bytes;
  if (!content) return ScenarioParse{std::nullopt, InputError{path.string(), 0, "cannot be read"}};
  return parseScenario(*content, path.string(), path.parent_path());
}

namespace {

void applyStep(const ScenarioStep& step, LaptopRun& run) {
  const StepKind& kind = *stepKind(step.keyword);
  kind.apply(step, run);
  if (!kind.machine) return;
  std::string words = step.keyword;
  if (step.keyword == "report") {
    words += " " + step.args[0] + (step.text == "auto" ? " auto" : " (verbatim)");
  } else {
    for (const auto& a : step.args) words += " " + a;
  }
  run.note(words);
}

}  // namespace

bool playScenario(const Scenario& scenario, LaptopRun& run) {
  for (const auto& [name, content] : scenario.homeFiles) {
    if (!run.writeHomeFile(name, content)) return false;
  }
  // The machine as it is when the application starts; then the machine's
  // changes go on at their own times whatever the application is doing, and
  // the person's steps wait while its main thread is busy or an alert is open.
  std::vector<const ScenarioStep*> changes, person;
  bool started = false;
  for (const auto& step : scenario.steps) {
    started = started || step.at > 0.0 || step.keyword == "menu";
    if (!started) {
      applyStep(step, run);
    } else {
      (stepKind(step.keyword)->machine ? changes : person).push_back(&step);
    }
  }
  std::size_t nextChange = 0;
  fake::VirtualMainLoop& loop = run.sim().loop;
  loop.outside.due = [&]() -> std::optional<fake::Ticks> {
    if (nextChange == changes.size()) return std::nullopt;
    return LaptopRun::justBefore(scenario.start + changes[nextChange]->at);
  };
  loop.outside.make = [&] { applyStep(*changes[nextChange++], run); };
  run.launch();
  for (const ScenarioStep* step : person) {
    run.runUntilJustBefore(scenario.start + step->at);
    if (loop.isTerminated()) break;
    applyStep(*step, run);
  }
  run.runUntil(scenario.start + scenario.end);
  run.log().add(run.now(), "end", JsonObject(), "end");
  run.quit();
  loop.outside = {};
  return true;
}

namespace {

// "“text”", in typographic quotes.
std::string inQuotes(std::string_view text) {
  return "\xE2\x80\x9C" + std::string(text) + "\xE2\x80\x9D";
}

// The menu item a newcomer sees for an action.
std::string menuTitle(std::string_view action) {
  const auto space = action.find(' ');
  const std::string_view name = action.substr(0, space);
  if (name == "toggleSmartMode") return "Smart AI Mode (1 hour)";
  if (name == "changeThreshold:") return std::string(action.substr(space + 1)) + "%";
  if (name == "showBatteryInfo") return "Current Battery";
  if (name == "showPowerMode") return "Current Power Mode";
  if (name == "showAbout") return "About";
  if (name == "terminate:") return "Quit Kestrine";
  return std::string(action);
}

// "alert TITLE [A/B] -> B" as "Alert “TITLE” [A/B]: the user clicks B".
std::string describeAlert(std::string_view text) {
  const auto open = text.rfind(" [");
  const auto arrow = text.rfind("] -> ");
  if (open == std::string_view::npos || arrow == std::string_view::npos || arrow < open) {
    return "Alert: " + std::string(text);
  }
  return "Alert " + inQuotes(text.substr(0, open)) + " " +
         std::string(text.substr(open + 1, arrow - open)) + ": the user clicks " +
         std::string(text.substr(arrow + 5));
}

// What a timeline line says about an event; empty for the ones left out.
std::string describe(const SimEvent& event) {
  const std::string& s = event.summary;
  auto after = [&](std::string_view prefix) { return s.substr(prefix.size()); };
  if (event.type == "machine") {
    const std::string change = after("machine ");
    if (change.starts_with("say ")) return "\xE2\x96\xB6 " + change.substr(4);  // ▶
    if (change == "launch") return "Kestrine starts";
    if (change.starts_with("sleep ")) {
      return "(the laptop sleeps for " + std::to_string(std::stoll(change.substr(6)) / 3600) +
             " hours: no checks meanwhile, one on waking)";
    }
    return "(" + change + ")";
  }
  if (event.type == "alert") return describeAlert(after("alert "));
  if (event.type == "password") {
    const std::string rest = after("password ");
    const bool accepted = rest.starts_with("accept");
    const auto slash = rest.find(" / ");
    return "Password dialog " +
           inQuotes(slash == std::string::npos ? rest : rest.substr(slash + 3)) + ": the user " +
           (accepted ? "types the password" : "cancels");
  }
  if (event.type == "notification") return "Notification: " + after("notification ");
  if (event.type == "menu-action") {
    return "The user chooses " + inQuotes(menuTitle(after("menu-action "))) + " in the menu";
  }
  if (event.type == "print") return "Printed: " + after("print ");
  if (event.type == "tool") {
    const auto arrow = s.rfind(" -> ");
    const std::string status = arrow == std::string::npos ? "" : s.substr(arrow + 4);
    const std::string outcome = status == "0" ? "done" : "failed (" + status + ")";
    if (s.starts_with("tool /usr/bin/sudo -n -l")) {
      return "sudo -n -l lists the rules that need no password: " + outcome;
    }
    if (s.starts_with("tool /usr/bin/sudo ")) {
      return "sudo -n /usr/bin/pmset -b lowpowermode 1, without a password: " + outcome;
    }
    if (s.starts_with("tool /usr/bin/osascript ")) {
      const bool setup = s.find("sudoers.d") != std::string::npos;
      return std::string(setup ? "osascript installs the sudoers rule as administrator"
                               : "osascript runs pmset -b lowpowermode 1 as administrator") +
             ": " + outcome;
    }
  }
  return {};
}

// Prints the run's events as a timeline on standard output, one line per
// thing that happened.
void tellTimeline(LaptopRun& run) {
  run.log().listener = [&run, icon = std::string()](const SimEvent& event) mutable {
    std::string text = describe(event);
    if (event.type == "title" && event.summary.substr(6) != icon) {
      icon = event.summary.substr(6);
      text = "The menu bar icon changes to " + icon;
    }
    if (text.empty()) return;
    char level[8];
    std::snprintf(level, sizeof level, "%3lld%%", static_cast<long long>(run.laptop().level()));
    // The emoji of the icon column are two columns wide, "⚡" too.
    std::cout << fake::formatUtc(run.start() + event.t, "%a %d %b %H:%M:%S") << "  "
              << (icon.empty() ? "  " : icon) << "  " << level << "  " << text << "\n";
  };
}

}  // namespace

int playScenarioFile(const Scenario& scenario, const std::filesystem::path& home,
                     const std::optional<std::string>& events, bool tell) {
  const bool toFile = events && *events != "-";
  std::ofstream file;
  if (toFile) file.open(*events, std::ios::binary | std::ios::trunc);
  if (toFile && !file) {
    std::cerr << "kestrine-sim: cannot write " << *events << "\n";
    return 1;
  }
  std::ostream* out = !events ? nullptr : toFile ? &file : &std::cout;
  LaptopRun run({.start = scenario.start, .home = home, .userName = scenario.user});
  run.log().setStream(out);
  if (tell || !out) tellTimeline(run);
  return playScenario(scenario, run) ? 0 : 1;
}

}  // namespace kestrine::sim
