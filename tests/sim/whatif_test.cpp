#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "sim/case_name.h"
#include "sim/laptop_run.h"
#include "sim/malformed_input.h"
#include "sim/whatif.h"

namespace kestrine::sim {
namespace {

const std::string kData = std::string(KESTRINE_TEST_DATA) + "/sim/";

WhatIfOptions optionsIn(const RunFolder& folder) {
  WhatIfOptions o;
  o.home = folder.path();
  return o;
}

// Days of use: off the charger at 09:00 at 100%, down at `drain` points a
// minute, plugged in at 17:00 and charged to full; the rows every 5 minutes.
std::string syntheticTrace(int days, double drain) {
  std::ostringstream csv;
  csv << "time,percent,charging\n";
  for (int t = 0; t <= days * 86400; t += 300) {
    const int secondOfDay = t % 86400;
    const bool onBattery = secondOfDay >= 0 && secondOfDay < 8 * 3600;
    const double percent = onBattery ? std::max(0.0, 100.0 - drain * secondOfDay / 60.0) : 100.0;
    csv << t << "," << percent << "," << (onBattery ? 0 : 1) << "\n";
  }
  return csv.str();
}

// After learning, on steady drains from 0.3 to 1.5 points a minute with
// fractional start levels, Smart AI Mode keeps close to its target: 60 minutes
// after the 0.9 factor, about 67 at a steady drain. Right after unplugging a
// single whole-percent step would read as 2 points a minute.
TEST(WhatIf, SmartSwitchesLeaveAboutTheTargetOnSteadyDrains) {
  std::ostringstream csv;
  long long t = 0;
  auto row = [&](double percent, bool charging) {
    csv << 1773529200 + t << ',' << percent << ',' << (charging ? 1 : 0) << '\n';
    t += 30;
  };
  // On the charger from 23:00 UTC past two midnights: two counted days make it ready.
  while (t < 26 * 3600) row(100, true);
  const double drains[] = {0.3, 0.5, 0.7, 0.9, 1.1, 1.3, 1.5};
  for (std::size_t i = 0; i < std::size(drains); ++i) {
    const double startLevel = 99.85 - 0.1 * static_cast<double>(i);
    for (double level = startLevel; level > 5; level -= drains[i] / 2) row(level, false);
    for (int k = 0; k < 20; ++k) row(100, true);
  }
  const auto parsed = parseTrace(csv.str(), "steady.csv");
  ASSERT_TRUE(parsed.trace) << parsed.error->str();
  RunFolder home;
  const WhatIfResult result = runWhatIf(*parsed.trace, optionsIn(home));
  ASSERT_EQ(result.episodes.size(), std::size(drains));
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

// Restarting with a trimmed learning file must not change a single decision.
TEST(WhatIf, CompactingTheLearningFileChangesNoDecision) {
  const auto parsed = parseTrace(syntheticTrace(3, 0.45), "synthetic.csv");
  ASSERT_TRUE(parsed.trace);
  RunFolder home;
  WhatIfOptions plain = optionsIn(home);
  plain.compactAbove = 0;
  WhatIfOptions compacted = optionsIn(home);
  compacted.compactAbove = 300;
  compacted.keepSnapshots = 120;
  const auto a = runWhatIf(*parsed.trace, plain);
  const auto b = runWhatIf(*parsed.trace, compacted);
  EXPECT_GT(b.smart.restarts, 3);
  EXPECT_EQ(a.smart.switches, b.smart.switches);
  EXPECT_EQ(a.smart.predictions, b.smart.predictions);
  EXPECT_EQ(a.classic.switches, b.classic.switches);
}

class MalformedTraceTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(MalformedTraceTest, IsRejectedWithItsLine) {
  const auto parsed = parseTrace(GetParam().text, "t.csv");
  ASSERT_FALSE(parsed.trace);
  expectNamesLineAndProblem(*parsed.error, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MalformedTraceTest,
    ::testing::Values(BadInput{"time,percent,charging\n0,50,0\n30,fifty,0\n", 3, "bad percent"},
                      BadInput{"0,50,0\n30,49\n", 2, "3 columns"},
                      BadInput{"0,50,0\n0,49,0\n", 2, "does not increase"},
                      BadInput{"0,50,0\n30,49,maybe\n", 2, "charging"},
                      BadInput{"0,50,0\n2026-03-14T09:00:00Z,49,0\n", 2, "mix"},
                      BadInput{"0,50,0\n", 0, "at least two"},
                      BadInput{"when,level,ac\n0,50,0\n", 1, "no time (or timestamp) column"},
                      BadInput{"time,charge,ac\n0,50,0\n", 1, "no percent"},
                      BadInput{"0,0.5,0\n30,0.49,0\n60,0.48,0\n", 0, "fractions"},
                      BadInput{"1773482400000,50,0\n1773482460000,49,0\n", 1, "milliseconds"},
                      BadInput{"0,50,0\n34560030,49,0\n", 0, "400 days"},
                      BadInput{"0,50,0\n1e300,49,0\n", 2, "milliseconds"},
                      BadInput{"1773482400\t50\tdischarging\n1773482300\t49\tdischarging\n", 2,
                               "backwards"},
                      BadInput{"{\"snapshots\":[]}", 0, "learning file"}));

// Each source as it is found on a machine.
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
  std::ostringstream rows;
  for (const auto& p : parsed.trace->points)
    rows << p.t << ' ' << p.percent << ' ' << p.charging << ',';
  for (const auto& [from, to] : parsed.trace->asleep) rows << " asleep " << from << '-' << to;
  EXPECT_EQ(rows.str(), GetParam().rows);
  EXPECT_EQ(parsed.trace->timeText(0), GetParam().firstTime);
  RunFolder home;
  EXPECT_EQ(runWhatIf(*parsed.trace, optionsIn(home)).passes, GetParam().passes);
}

// The daemon's start rows of 0 % are left out, "pending-charge" is on mains,
// "unknown" keeps the state; the learning file's night is sleep (passes at 30
// and 60 s, one on waking, one at 28890 s); a CSV header
// names its columns in any order, and large plain numbers are UNIX times.
INSTANTIATE_TEST_SUITE_P(
    Cases, TraceSources,
    ::testing::Values(
        SourceCase{"DaemonHistory", *readInputFile(kData + "history-charge-sample.dat"),
                   "0 88 0,295 87 0,905 86 0,1595 86 1,1615 87 1,7595 100 1,17695 99 0,",
                   "Sat 14 Mar 2026 10:00:05", 589},
        SourceCase{"LearningFile", *readInputFile(kData + "learning-sample.json"),
                   "0 90 0,30 90 0,60.25 89 0,28860 71 0,28890 71 1, asleep 60.25-28860",
                   "Sat 14 Mar 2026 09:00:00", 4},
        SourceCase{"CsvHeader",
                   "\xEF\xBB\xBFon_ac,Timestamp,battery_percent,note\nno,1773482400,50,x\n"
                   "yes,1773482460,49,y\n",
                   "0 50 0,60 49 1,", "Sat 14 Mar 2026 10:00:00", 2}),
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
  EXPECT_EQ(whatIfJson(*parsed.trace, result),
            "{\"discharges\":[{\"start\":\"2026-03-14T00:00:00Z\",\"end\":\"2026-03-14T00:30:00Z\","
            "\"startLevel\":50,\"endLevel\":0,\"classic\":null,\"smart\":{\"time\":"
            "\"2026-03-14T00:10:00Z\",\"level\":40,\"rule\":\"prediction\",\"predictedMinutes\":30,"
            "\"minutesLeft\":10.0}},{\"start\":\"2026-03-14T00:40:00Z\",\"end\":"
            "\"2026-03-14T01:00:00Z\",\"startLevel\":30,\"endLevel\":25,\"classic\":{\"time\":"
            "\"2026-03-14T00:50:00Z\",\"level\":25,\"rule\":\"threshold\",\"predictedMinutes\":"
            "null,\"minutesLeft\":null},\"smart\":{\"time\":\"2026-03-14T00:45:00Z\",\"level\":28,"
            "\"rule\":\"threshold\",\"predictedMinutes\":null,\"minutesLeft\":90.0}}]}\n");
}

TEST(WhatIf, PlotHasRoundMinuteTicksATargetLineAndAnEscapedName) {
  const auto parsed = parseTrace("0,50,0\n60,49,0\n", "a<b&c.csv");
  ASSERT_TRUE(parsed.trace);
  WhatIfResult result;
  result.smart.predictions = {{30, 169}};
  const std::string svg = whatIfSvg(*parsed.trace, WhatIfOptions{}, result);
  EXPECT_NE(svg.find("What if: a&lt;b&amp;c.csv"), std::string::npos);
  EXPECT_EQ(svg.find("a<b"), std::string::npos);
  for (const char* tick : {">0 min<", ">60 min<", ">120 min<", ">180 min<"}) {
    EXPECT_NE(svg.find(tick), std::string::npos) << tick;
  }
  EXPECT_EQ(svg.find(">169 min<"), std::string::npos);
  EXPECT_NE(svg.find("target 60 min"), std::string::npos);
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
                                  "unknown_step.scenario:2: unknown step 'explode'"},
                      CommandCase{"whatif --trace " + kData + "malformed/bad_percent.csv", 2,
                                  "bad_percent.csv:3: bad percent 'fifty'"},
                      CommandCase{"frobnicate", 2, "unknown command"},
                      CommandCase{"run", 2, "needs --scenario"},
                      CommandCase{"demo --trace " + kData + "malformed/short_row.csv", 2,
                                  "demo takes no --trace"},
                      CommandCase{"whatif --format xml --trace " + kData + "learning-sample.json",
                                  2, "--format takes text or json"},
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
