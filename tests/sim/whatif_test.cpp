#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

TEST(WhatIf, BothModesSwitchWhereTheyShould) {
  const auto parsed = parseTrace(syntheticTrace(3, 0.3), "synthetic.csv");
  ASSERT_TRUE(parsed.trace) << parsed.error->str();
  RunFolder home;
  const WhatIfResult result = runWhatIf(*parsed.trace, optionsIn(home));
  ASSERT_EQ(result.episodes.size(), 4U);
  // Classic switches at the threshold in every discharge that reaches it.
  ASSERT_EQ(result.classic.switches.size(), 3U);
  for (const auto& s : result.classic.switches) {
    EXPECT_EQ(s.level, 20);
    EXPECT_EQ(s.how, "threshold");
  }
  // Smart AI Mode learns for two days, then switches by the prediction:
  // 0.3 points a minute, 60 minutes after the 0.9 safety factor at 20% left.
  ASSERT_TRUE(result.smart.readyAt);
  ASSERT_FALSE(result.smart.switches.empty());
  EXPECT_EQ(result.smart.switches.front().how, "threshold");
  EXPECT_EQ(result.smart.switches.back().how, "prediction");
  EXPECT_EQ(result.smart.switches.back().level, 20);
  EXPECT_GT(result.smart.switches.back().t, *result.smart.readyAt);
  EXPECT_NE(whatIfReport(*parsed.trace, WhatIfOptions{}, result).find("Summary: 4 discharges"),
            std::string::npos);
  const std::string svg = whatIfSvg(*parsed.trace, WhatIfOptions{}, result);
  EXPECT_TRUE(svg.starts_with("<svg"));
  EXPECT_NE(svg.find("<polyline"), std::string::npos);
  EXPECT_NE(svg.find("Smart AI: day 3"), std::string::npos);
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
  ASSERT_EQ(a.smart.switches.size(), b.smart.switches.size());
  for (std::size_t i = 0; i < a.smart.switches.size(); ++i) {
    EXPECT_EQ(a.smart.switches[i].t, b.smart.switches[i].t);
    EXPECT_EQ(a.smart.switches[i].level, b.smart.switches[i].level);
    EXPECT_EQ(a.smart.switches[i].how, b.smart.switches[i].how);
  }
  EXPECT_EQ(a.smart.predictions, b.smart.predictions);
  EXPECT_EQ(a.classic.switches.size(), b.classic.switches.size());
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
                      BadInput{"0,50,0\n", 0, "at least two"}));

TEST(WhatIf, PlotOfATraceWhoseNameNeedsEscapingIsWellFormed) {
  const auto parsed = parseTrace("0,50,0\n60,49,0\n", "a<b&c.csv");
  ASSERT_TRUE(parsed.trace);
  RunFolder home;
  const std::string svg =
      whatIfSvg(*parsed.trace, WhatIfOptions{}, runWhatIf(*parsed.trace, optionsIn(home)));
  EXPECT_NE(svg.find("What if: a&lt;b&amp;c.csv"), std::string::npos);
  EXPECT_EQ(svg.find("a<b"), std::string::npos);
}

TEST(WhatIf, EachChargingStretchIsShadedOnceFromItsFirstRowToTheRowThatEndsIt) {
  // On battery, then charging for three rows (60 s to 240 s), then on battery again.
  const auto parsed =
      parseTrace("0,50,0\n60,49,1\n120,60,1\n180,70,1\n240,69,0\n300,68,0\n", "c.csv");
  ASSERT_TRUE(parsed.trace);
  RunFolder home;
  const std::string svg =
      whatIfSvg(*parsed.trace, WhatIfOptions{}, runWhatIf(*parsed.trace, optionsIn(home)));
  std::vector<std::string> shaded;
  for (std::size_t at = svg.find("<rect x="); at != std::string::npos;
       at = svg.find("<rect x=", at + 1)) {
    const std::string rect = svg.substr(at, svg.find('>', at) - at);
    if (rect.find("height=\"12\"") == std::string::npos) shaded.push_back(rect);  // not the legend
  }
  ASSERT_EQ(shaded.size(), 1U);
  const auto attribute = [](const std::string& element, const std::string& name) {
    const std::size_t at = element.find(name + "=\"");
    return at == std::string::npos ? -1.0 : std::stod(element.substr(at + name.size() + 2));
  };
  // The first grid line spans the plot's width, which stands for the trace's 300 s.
  const std::size_t gridAt = svg.find("<line x1=");
  ASSERT_NE(gridAt, std::string::npos);
  const std::string grid = svg.substr(gridAt, svg.find('>', gridAt) - gridAt);
  const double left = attribute(grid, "x1");
  const double plotWidth = attribute(grid, "x2") - left;
  ASSERT_GT(plotWidth, 0.0);
  EXPECT_NEAR(attribute(shaded[0], "x"), left + plotWidth * 60.0 / 300.0, 0.1);
  EXPECT_NEAR(attribute(shaded[0], "width"), plotWidth * 180.0 / 300.0, 0.1);
}

TEST(WhatIf, IsoTimesCountFromTheFirstRow) {
  const auto parsed = parseTrace("2026-01-31T23:59:00Z,50,0\n2026-02-01T00:01:00Z,49,0\n", "t.csv");
  ASSERT_TRUE(parsed.trace);
  EXPECT_EQ(parsed.trace->points.back().t, 120.0);
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
  const std::string command = std::string(KESTRINE_SIM_BINARY) + " " + GetParam().arguments +
                              " --home " + (dir / "home").string() + " > /dev/null 2> " +
                              err.string();
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
    ::testing::Values(
        CommandCase{"run --scenario " + kData + "malformed/unknown_step.scenario", 2,
                    "unknown_step.scenario:2: unknown step 'explode'"},
        CommandCase{"run --scenario " + kData + "malformed/bad_percent.scenario", 2,
                    "bad_percent.scenario:1:"},
        CommandCase{"run --scenario " + kData + "malformed/no_end.scenario", 2, "no 'end'"},
        CommandCase{"whatif --trace " + kData + "malformed/bad_percent.csv", 2,
                    "bad_percent.csv:3: bad percent 'fifty'"},
        CommandCase{"whatif --trace " + kData + "malformed/short_row.csv", 2, "short_row.csv:2:"},
        CommandCase{"whatif --trace " + kData + "malformed/time_back.csv", 2, "time_back.csv:2:"},
        CommandCase{"frobnicate", 2, "unknown command"}, CommandCase{"run", 2, "needs --scenario"},
        CommandCase{"demo --trace " + kData + "malformed/short_row.csv", 2,
                    "demo takes no --trace"}));

}  // namespace
}  // namespace kestrine::sim
