#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/virtual_clock.h"
#include "prediction/battery_predictor.h"
#include "prediction/prediction_data.h"
#include "settings/config.h"
#include "sim/laptop_run.h"
#include "sim/malformed_input.h"
#include "sim/whatif.h"
#include "storage/file_store.h"
#include "support/prediction_text.h"

namespace kestrine::sim {
namespace {

// A parameterised case's name as CTest lists it: letters and digits, every run
// of anything else one underscore ("rm -f /tmp/x" -> "rm_f_tmp_x").
inline std::string caseName(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      out += c;
    } else if (!out.empty() && out.back() != '_') {
      out += '_';
    }
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

const std::string kData = std::string(KESTRINE_TEST_DATA) + "/sim/";

WhatIfOptions optionsIn(const RunFolder& folder) {
  WhatIfOptions o;
  o.home = folder.path();
  return o;
}

// On the charger from 23:00 UTC past two midnights (two counted days make
// Smart AI Mode ready), then steady discharges at these drains, with
// fractional start levels, down to 5 %.
std::string readyThenDischarges(const std::vector<double>& drains) {
  std::ostringstream csv;
  long long t = 0;
  auto row = [&](double percent, bool charging) {
    csv << 1773529200 + t << ',' << percent << ',' << (charging ? 1 : 0) << '\n';
    t += 30;
  };
  while (t < 26 * 3600) row(100, true);
  for (std::size_t i = 0; i < drains.size(); ++i) {
    const double startLevel = 99.85 - 0.1 * static_cast<double>(i);
    for (double level = startLevel; level > 5; level -= drains[i] / 2) row(level, false);
    for (int k = 0; k < 20; ++k) row(100, true);
  }
  return csv.str();
}

// After learning, on steady drains from 0.3 to 1.5 points a minute, Smart AI
// Mode keeps close to its target: 60 minutes after the 0.9 factor, about 67 at
// a steady drain. Right after unplugging a single whole-percent step would
// read as 2 points a minute.
TEST(WhatIf, SmartSwitchesLeaveAboutTheTargetOnSteadyDrains) {
  const std::vector<double> drains = {0.3, 0.5, 0.7, 0.9, 1.1, 1.3, 1.5};
  const auto parsed = parseTrace(readyThenDischarges(drains), "steady.csv");
  ASSERT_TRUE(parsed.trace) << parsed.error->str();
  RunFolder home;
  const WhatIfResult result = runWhatIf(*parsed.trace, optionsIn(home));
  ASSERT_EQ(result.episodes.size(), drains.size());
  for (const Episode& e : result.episodes) {
    const EpisodeSwitch classic = switchIn(*parsed.trace, e, result.classic);
    ASSERT_NE(classic.at, nullptr);
    EXPECT_EQ(classic.at->level, 20);
    const EpisodeSwitch s = switchIn(*parsed.trace, e, result.smart);
    ASSERT_NE(s.at, nullptr);
    EXPECT_EQ(s.at->rule, "prediction");
    ASSERT_TRUE(s.minutesLeft);
    EXPECT_GE(*s.minutesLeft, 35.0) << parsed.trace->timeText(s.at->t);
    EXPECT_LE(*s.minutesLeft, 100.0) << parsed.trace->timeText(s.at->t);
  }
}

// The advice on steady drains of 0.5 points a minute, where 30 % leaves a
// little over an hour and 20 % some 40 minutes: four discharges name 30 %,
// one is too few. The thresholds' switches are the replay's own passes: at the
// threshold set they are where Classic Threshold Mode switched.
TEST(WhatIf, AdvisesTheThresholdThatLeftTheTargetOnlyFromEnoughDischarges) {
  for (const std::size_t discharges : {4u, 1u}) {
    const auto parsed =
        parseTrace(readyThenDischarges(std::vector<double>(discharges, 0.5)), "steady.csv");
    ASSERT_TRUE(parsed.trace);
    RunFolder home;
    const WhatIfResult result = runWhatIf(*parsed.trace, optionsIn(home));
    const auto outcomes = thresholdOutcomes(*parsed.trace, result);
    ASSERT_EQ(outcomes[1].threshold, 20);
    ASSERT_EQ(outcomes[1].minutesLeft.size(), discharges);
    for (std::size_t i = 0; i < discharges; ++i) {
      const auto s = switchIn(*parsed.trace, result.episodes[i], result.classic);
      EXPECT_EQ(s.minutesLeft, outcomes[1].minutesLeft[i]);
      EXPECT_NEAR(outcomes[2].minutesLeft[i], 62.0, 2.0);
    }
    // The advice as the report gives it: 30 % (4 of 4), or none from one.
    EXPECT_EQ(whatIfReport(*parsed.trace, optionsIn(home), result),
              readWholeFile(kData + "advice-" + std::to_string(discharges) + ".txt").bytes);
  }
}

// The rule: the lowest threshold judged on at least three discharges that
// left the target in at least three in four of them.
struct AdviceCase {
  const char* name;
  std::vector<ThresholdOutcome> outcomes;
  const char*
      advice;  // "30: 4 of 4", "none", "too few (2)"; "+lower" when lower ones were not judged
};
void PrintTo(const AdviceCase& c, std::ostream* os) { *os << c.name; }
class AdviceRule : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(AdviceRule, NamesTheLowestThresholdThatFits) {
  const ThresholdAdvice a = adviseThreshold(GetParam().outcomes, 60.0);
  std::ostringstream text;
  if (a.tooFew) {
    text << "too few (" << a.mostReached << ")";
  } else if (a.threshold) {
    text << *a.threshold << ": " << a.fit << " of " << a.reached
         << (a.lowerNotJudged ? " +lower" : "");
  } else {
    text << "none";
  }
  EXPECT_EQ(text.str(), GetParam().advice);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdviceRule,
    ::testing::Values(AdviceCase{"ThreeInFourIsMostTwoInThreeIsNot",
                                 {{20, {70, 70, 10}}, {30, {70, 70, 70, 10}}},
                                 "30: 3 of 4"},
                      AdviceCase{"TheTargetItselfIsEnough", {{20, {60, 60, 60}}}, "20: 3 of 3"},
                      AdviceCase{"LowerOnesReachedTooRarely",
                                 {{10, {90, 90}}, {20, {90, 90, 90}}},
                                 "20: 3 of 3 +lower"},
                      AdviceCase{"NoneFits", {{10, {10, 10, 10}}, {90, {59, 59, 61}}}, "none"},
                      AdviceCase{"TooFewDischarges", {{10, {90}}, {20, {90, 90}}}, "too few (2)"}),
    [](const auto& info) { return std::string(info.param.name); });

// The application's own learning file, replayed, switches in the pass in
// which the application did. Its rows are dated once each pass had read the
// level, a little after the timer fired and not by the same amount each time
// (here from 0 to 0.29 s, the first row on time): held to "at or before the
// pass", a row dated later than the first reached the replay a pass late.
TEST(WhatIf, TheApplicationsOwnLearningFileSwitchesInTheSamePass) {
  RunFolder home;
  LaptopRunOptions runOptions;
  runOptions.start = fake::wallTimeFromCivil(2026, 3, 14, 23, 0, 0.0);
  runOptions.home = home.path();
  runOptions.recordEvents = false;
  LaptopRun app(runOptions);
  Config config;
  config.setupComplete = true;
  config.useSmartMode = true;
  app.writeHomeFile(".kestrine_config.json", encodeConfig(config));
  VirtualLaptop& machine = app.laptop();
  machine.installRule();
  machine.setOnMains(true);
  app.launch();
  // Two midnights on the charger make Smart AI Mode ready; then 0.7 points a minute.
  WallTime t = runOptions.start + 26 * 3600.0;
  app.runUntil(t);
  machine.setDrainPerMinute(0.7);
  machine.setOnMains(false);
  while (machine.lowPowerMode() == 0 && machine.level() > 0) app.runUntil(t += 30.0);
  ASSERT_NE(machine.lowPowerMode(), 0);
  ASSERT_GT(machine.level(), 30);  // by the prediction, well above the threshold
  const WallTime switched = t;
  app.runUntil(t + 600.0);

  PredictionData data =
      *decodePredictionData(*readWholeFile(BatteryPredictor::dataPath(home.path())).bytes).data;
  for (std::size_t i = 0; i < data.snapshots.size(); ++i)
    data.snapshots[i].timestamp += 0.001 * static_cast<double>(i * 97 % 290);
  const auto file = home.path() / "learning.json";
  std::ofstream(file) << *encodePredictionData(data);
  const auto parsed = loadTrace(file);
  ASSERT_TRUE(parsed.trace) << parsed.error->str();
  RunFolder replayHome;
  const WhatIfResult result = runWhatIf(*parsed.trace, optionsIn(replayHome));
  ASSERT_EQ(result.smart.switches.size(), 1u);
  EXPECT_EQ(result.smart.switches[0].rule, "prediction");
  EXPECT_NEAR(parsed.trace->start + result.smart.switches[0].t, switched, 0.001);
}

// A trace refused: the file's own name as given, the line (0: the whole
// file) and what is wrong. "<missing>" and "<folder>" are no file.
struct BadTrace {
  const char* name;
  std::string text;
  int line;
  const char* message;
};
void PrintTo(const BadTrace& c, std::ostream* os) {
  *os << caseName(std::string(c.name) + " " + c.message);
}
class BadTraceTest : public ::testing::TestWithParam<BadTrace> {};

TEST_P(BadTraceTest, IsRefusedWithTheReason) {
  const RunFolder folder;
  const auto path = folder.path() / GetParam().name;
  if (GetParam().text == "<folder>") {
    std::filesystem::create_directory(path);
  } else if (GetParam().text != "<missing>") {
    std::ofstream(path, std::ios::binary) << GetParam().text;
  }
  const auto parsed = loadTrace(path);
  ASSERT_FALSE(parsed.trace);
  EXPECT_EQ(parsed.error->file, path.string());
  expectNamesLineAndProblem(*parsed.error, GetParam().line, GetParam().message);
}

const std::string kDaemonRows =
    "1773482400\t50.000\tdischarging\n1773482460\t49.000\tdischarging\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadTraceTest,
    ::testing::Values(
        BadTrace{"t.csv", "time,percent,charging\n0,50,0\n30,fifty,0\n", 3, "bad percent"},
        BadTrace{"t.csv", "0,50,0\n30,49\n", 2, "3 columns"},
        BadTrace{"t.csv", "0,50,0\n0,49,0\n", 2, "does not increase"},
        BadTrace{"t.csv", "0,50,0\n30,49,maybe\n", 2, "charging"},
        BadTrace{"t.csv", "0,50,0\n2026-03-14T09:00:00Z,49,0\n", 2, "mix"},
        BadTrace{"t.csv", "0,50,0\n", 0, "at least two"},
        BadTrace{"t.csv", "when,level,ac\n0,50,0\n", 1, "no time (or timestamp) column"},
        BadTrace{"t.csv", "time;percent;charging\n0;50;0\n", 1, "separate columns with commas"},
        BadTrace{"t.csv", "0,0.5,0\n30,0.49,0\n60,0.48,0\n", 0, "fractions"},
        BadTrace{"t.csv", "1773482400000,50,0\n1773482460000,49,0\n", 1, "milliseconds"},
        BadTrace{"t.csv", "0,50,0\n34560030,49,0\n", 0, "400 days"},
        BadTrace{"t.csv", "0,50,0\n1e300,49,0\n", 2, "milliseconds"},
        BadTrace{"t.csv", "4102444800,50,0\n4102444860,49,0\n", 0, "after 2099"},
        BadTrace{"t.json",
                 "{\"snapshots\":[{\"timestamp\":1e16,\"batteryPercent\":50,\"isCharging\":false,"
                 "\"screenBrightness\":0.5},{\"timestamp\":1.00000000000003e16,"
                 "\"batteryPercent\":49,\"isCharging\":false,\"screenBrightness\":0.5}],"
                 "\"daysCollected\":0,\"accuracyScore\":0}",
                 0, "after 2099"},
        BadTrace{"t.dat", "1773482400\t50\tdischarging\n1773482300\t49\tdischarging\n", 2,
                 "backwards"},
        BadTrace{"t.dat", "1773482400\t50\tdischarging\n1773482460\t150\tdischarging\n", 2,
                 "not a percent from 0 to 100"},
        BadTrace{"history-rate-BAT0.dat", kDaemonRows, 0, "rate history (watts)"},
        BadTrace{"history-time-empty-BAT0.dat", kDaemonRows, 0, "time history"},
        // Rising in 3 of 11 rows on battery: more than a quarter.
        BadTrace{"renamed.dat",
                 "1773482400\t9.9\tdischarging\n1773482430\t8.8\tdischarging\n"
                 "1773482460\t9.4\tdischarging\n1773482490\t7.2\tdischarging\n"
                 "1773482520\t6.5\tdischarging\n1773482550\t8.1\tdischarging\n"
                 "1773482580\t6.0\tdischarging\n1773482610\t5.5\tdischarging\n"
                 "1773482640\t5.0\tdischarging\n1773482670\t5.8\tdischarging\n"
                 "1773482700\t4.4\tdischarging\n1773482730\t4.0\tdischarging\n",
                 0, "3 times in 11 rows"},
        BadTrace{"t.json", "{\"snapshots\":[]}", 0, "learning file"},
        BadTrace{"binary",
                 std::string("\x7f"
                             "ELF\x02\x01\0\0,1,0\n",
                             13),
                 0, "not a text file"},
        BadTrace{"gone.csv", "<missing>", 0, "no such file"},
        BadTrace{"folder", "<folder>", 0, "is a directory"}),
    [](const auto& info) {
      return caseName(std::to_string(info.index) + " " + info.param.message);
    });

// Each source as it is found on a machine: its rows as "t percent charging",
// the stretches asleep, and the first time.
struct SourceCase {
  const char* name;
  std::string text;
  const char* rows;
  const char* firstTime;
  std::int64_t passes;  // none while asleep; one on waking
};
void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }
class TraceSources : public ::testing::TestWithParam<SourceCase> {};

TEST_P(TraceSources, AreReadAsTheyAre) {
  const auto parsed = parseTrace(GetParam().text, "t");
  ASSERT_TRUE(parsed.trace) << parsed.error->str();
  const auto rowsOf = [](const Trace& trace) {
    std::ostringstream rows;
    for (const auto& p : trace.points) rows << p.t << ' ' << p.percent << ' ' << p.charging << ',';
    for (const auto& [from, to] : trace.asleep) rows << " asleep " << from << '-' << to;
    return rows.str();
  };
  EXPECT_EQ(rowsOf(*parsed.trace), GetParam().rows);
  // From a file, read in pieces, the same rows.
  RunFolder folder;
  std::ofstream(folder.path() / "t", std::ios::binary) << GetParam().text;
  const auto loaded = loadTrace(folder.path() / "t");
  ASSERT_TRUE(loaded.trace) << loaded.error->str();
  EXPECT_EQ(rowsOf(*loaded.trace), GetParam().rows);
  EXPECT_EQ(parsed.trace->timeText(0), GetParam().firstTime);
  RunFolder home;
  EXPECT_EQ(runWhatIf(*parsed.trace, optionsIn(home)).passes, GetParam().passes);
}

// The daemon's start rows of 0 % are left out, "pending-charge" is on mains,
// "unknown" keeps the state; each row of the learning file is a pass and its
// night is sleep (passes at 0, 30 and 60 s, this one seeing the row of 60.25 s,
// one on waking, one at 28890 s); a CSV header
// names its columns in any order, and large plain numbers are UNIX times.
INSTANTIATE_TEST_SUITE_P(
    Cases, TraceSources,
    ::testing::Values(
        SourceCase{"DaemonHistory", *readWholeFile(kData + "history-charge-sample.dat").bytes,
                   "0 88 0,295 87 0,905 86 0,1595 86 1,1615 87 1,7595 100 1,17695 99 0,",
                   "Sat 14 Mar 2026 10:00:05 UTC", 589},
        SourceCase{"LearningFile", *readWholeFile(kData + "learning-sample.json").bytes,
                   "0 90 0,30 90 0,60.25 89 0,28860 71 0,28890 71 1, asleep 60.25-28860",
                   "Sat 14 Mar 2026 09:00:00 UTC", 5},
        // Exactly 30 minutes without a row is awake; a second more is asleep.
        SourceCase{"DaemonGaps",
                   "1773482400\t80\tdischarging\n1773484200\t79\tdischarging\n"
                   "1773486001\t78\tdischarging\n",
                   "0 80 0,1800 79 0,3601 78 0, asleep 1800-3601", "Sat 14 Mar 2026 10:00:00 UTC",
                   61},
        // A byte order mark, a comment longer than the reading buffer, Windows
        // line ends, and a header that names its columns in another order.
        SourceCase{"Csv",
                   "\xEF\xBB\xBF#" + std::string(1'500'000, 'x') +
                       "\r\non_ac,Timestamp,battery_percent,note\r\nno,1773482400,50,x\r\n"
                       "yes,1773482460,49,y\n",
                   "0 50 0,60 49 1,", "Sat 14 Mar 2026 10:00:00 UTC", 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Minutes left at a switch: until the trace reaches 0 %, or extrapolated from
// the plug-in or the end at the average drain since the switch.
TEST(WhatIf, MinutesLeftAreMeasuredOnTheTrace) {
  const auto parsed = parseTrace(
      "0,50,0\n600,40,0\n1200,0,0\n1800,20,1\n2400,30,0\n3000,25,0\n3600,25,1\n", "t.csv");
  ASSERT_TRUE(parsed.trace);
  WhatIfResult result;
  result.episodes = dischargeEpisodes(*parsed.trace);
  result.smart.switches = {{600, 40, "prediction", 30}, {2700, 28, "threshold", std::nullopt}};
  result.classic.switches = {{3000, 25, "threshold", std::nullopt}};
  // 0 % reached 10 minutes after the first; the second: 5 points in the 15
  // minutes to the plug-in, then 25 more at that pace; the last saw no drain.
  EXPECT_EQ(whatIfJson(*parsed.trace, WhatIfOptions{}, result),
            readWholeFile(kData + "minutes-left.json").bytes);
}

// The lid closed for nine hours on battery: no row for more than 30 minutes.
// No check runs in it, and the minutes left count awake minutes only: 20 % at
// the switch, 10 % at the plug-in 1695 awake seconds later, and 1695 s more
// at that pace.
TEST(WhatIf, SleepInTheDaemonHistoryIsNeitherBatteryLifeNorDrain) {
  const auto parsed = parseTrace(*readWholeFile(kData + "history-charge-sleep.dat").bytes,
                                 "history-charge-sleep.dat");
  ASSERT_TRUE(parsed.trace) << parsed.error->str();
  ASSERT_EQ(parsed.trace->asleep.size(), 1u);
  EXPECT_EQ(parsed.trace->asleep[0], std::make_pair(2160.0, 34560.0));
  RunFolder home;
  const WhatIfResult result = runWhatIf(*parsed.trace, optionsIn(home));
  EXPECT_EQ(result.passes, 117);
  ASSERT_EQ(result.episodes.size(), 1u);
  const EpisodeSwitch s = switchIn(*parsed.trace, result.episodes[0], result.classic);
  ASSERT_NE(s.at, nullptr);
  EXPECT_EQ(s.at->t, 1800.0);
  ASSERT_TRUE(s.minutesLeft);
  EXPECT_NEAR(*s.minutesLeft, 56.5, 0.01);
  // The plot: the sleep a band, the curve in two, only dotted across it.
  EXPECT_EQ(whatIfSvg(*parsed.trace, optionsIn(home), result),
            readWholeFile(kData + "history-charge-sleep.svg").bytes);
}

// Without --trace: the daemon's newest charge history, named on standard
// error; with none, where it looked and how to give one.
TEST(WhatIfCommand, ReadsTheNewestChargeHistoryByDefault) {
  const RunFolder folder;
  const auto& dir = folder.path();
  const auto run = [&] {
    const std::string command = "KESTRINE_SIM_UPOWER_DIR=" + dir.string() + " " +
                                KESTRINE_SIM_BINARY + " whatif --json --home " +
                                (dir / "home").string() + " > " + (dir / "out").string() + " 2> " +
                                (dir / "err").string();
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  EXPECT_EQ(run(), 2);
  EXPECT_NE(readWholeFile(dir / "err")
                .bytes->find("no battery charge history (history-charge-*.dat) in " + dir.string() +
                             "; pass one with --trace FILE"),
            std::string::npos);
  std::filesystem::copy_file(kData + "history-charge-sleep.dat", dir / "history-charge-new.dat");
  std::filesystem::copy_file(kData + "history-charge-sample.dat", dir / "history-charge-old.dat");
  std::filesystem::copy_file(kData + "history-charge-sample.dat", dir / "history-rate-new.dat");
  const auto now = std::filesystem::file_time_type::clock::now();
  std::filesystem::last_write_time(dir / "history-charge-old.dat", now - std::chrono::hours(1));
  std::filesystem::last_write_time(dir / "history-charge-new.dat", now - std::chrono::minutes(1));
  EXPECT_EQ(run(), 0);
  EXPECT_NE(readWholeFile(dir / "err")
                .bytes->find("reading " + (dir / "history-charge-new.dat").string()),
            std::string::npos);
  EXPECT_NE(readWholeFile(dir / "out").bytes->find("\"startLevel\":30,"), std::string::npos);
}

TEST(WhatIf, PlotHasRoundMinuteTicksOneAveragedLineAndAnEscapedName) {
  const auto parsed = parseTrace("0,50,0\n60,49,0\n", "a<b&c.csv");
  ASSERT_TRUE(parsed.trace);
  WhatIfResult result;
  result.episodes = dischargeEpisodes(*parsed.trace);
  result.smart.predictions = {{30, 169}, {45, 40}, {60, 169}};
  const std::string svg = whatIfSvg(*parsed.trace, WhatIfOptions{}, result);
  // Minute ticks at whole hours, one averaged line for the discharge however
  // its predictions jump, and the name escaped.
  EXPECT_EQ(svg, readWholeFile(kData + "plot-escaped.svg").bytes);
}

// The command line: malformed input exits with 2, names file and line, runs nothing.
struct CommandCase {
  std::string arguments;
  int status;
  std::string stderrPart;
};
void PrintTo(const CommandCase& c, std::ostream* os) {
  // The command and the file it reads, without the data folder's path.
  const auto space = c.arguments.find(' ');
  const auto slash = c.arguments.rfind('/');
  std::string name = c.arguments.substr(0, space);
  if (slash != std::string::npos) name += " " + c.arguments.substr(slash + 1);
  *os << caseName(name);
}
class SimCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SimCommandTest, ExitsWithStatusAndMessage) {
  // A folder of this case's own: the cases run side by side under ctest -j.
  const RunFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const auto& dir = folder.path();
  const auto err = dir / "stderr.txt";
  // Cases about --home give their own.
  const bool ownHome = GetParam().arguments.find("--home") != std::string::npos;
  const std::string command = std::string(KESTRINE_SIM_BINARY) + " " + GetParam().arguments +
                              (ownHome ? "" : " --home " + (dir / "home").string()) +
                              " > /dev/null 2> " + err.string();
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), GetParam().status);
  std::FILE* f = std::fopen(err.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buffer[1024] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  EXPECT_NE(std::string(buffer, n).find(GetParam().stderrPart), std::string::npos)
      << std::string(buffer, n);
  // Nothing ran: the home folder was never written.
  if (GetParam().status == 2) {
    EXPECT_FALSE(std::filesystem::exists(dir / "home"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimCommandTest,
    ::testing::Values(CommandCase{"run --scenario " + kData + "malformed/unknown_step.scenario", 2,
                                  "unknown_step.scenario:3: unknown step 'explode'"},
                      CommandCase{"frobnicate", 2, "unknown command"},
                      CommandCase{"run", 2, "needs --scenario"},
                      CommandCase{"demo --trace " + kData + "malformed/short_row.csv", 2,
                                  "demo takes no --trace"},
                      CommandCase{"whatif --format xml --trace " + kData + "learning-sample.json",
                                  2, "--format takes text or json"},
                      CommandCase{"whatif --json --format text", 2, "contradict"},
                      CommandCase{"--version", 0, ""},
                      CommandCase{"demo --home /dev/null/home", 2,
                                  "cannot use /dev/null/home as the home folder"}));

// SIGINT or SIGTERM in the middle of a run: the run's folder goes.
TEST(RunFolder, GoesWithTheSignalThatStopsTheRun) {
  for (const int signal : {SIGINT, SIGTERM}) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      const RunFolder folder;
      std::filesystem::create_directories(folder.path() / "smart");
      const std::string path = folder.path().string() + "\n";
      if (::write(pipeEnds[1], path.data(), path.size()) < 0) ::_exit(1);
      ::pause();
      ::_exit(0);
    }
    ::close(pipeEnds[1]);
    char buffer[4096] = {};
    ASSERT_GT(::read(pipeEnds[0], buffer, sizeof buffer - 1), 0);
    ::close(pipeEnds[0]);
    const std::filesystem::path path = std::string(buffer, std::strchr(buffer, '\n'));
    EXPECT_TRUE(std::filesystem::exists(path / "smart"));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

}  // namespace
}  // namespace kestrine::sim
