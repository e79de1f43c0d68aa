// End-to-end checks of the real core, written as scenarios for the virtual
// laptop: each NAME.scenario in tests/data/sim is played and its events are
// checked against NAME.expect.
//
// Expectation lines:
//   seq PREFIX            an event whose summary starts with PREFIX, after the previous match
//   at TIME seq PREFIX    the same, and it happened at TIME after the start
//   count PREFIX N        exactly N events have a summary starting with PREFIX
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/laptop_run.h"
#include "sim/malformed_input.h"
#include "sim/scenario.h"

namespace kestrine::sim {
namespace {

const std::string kData = std::string(KESTRINE_TEST_DATA) + "/sim/";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string dump(const std::vector<SimEvent>& events) {
  std::string out;
  for (const auto& e : events) {
    if (e.type == "file" && e.summary.find("ai_data") != std::string::npos) continue;
    if (e.type == "tool" && e.summary.find(" -g ") != std::string::npos) continue;
    out += std::to_string(e.t) + "  " + e.summary + "\n";
  }
  return out;
}

void checkExpectations(const std::string& name, const std::vector<SimEvent>& events) {
  const std::string expect = readFile(kData + name + ".expect");
  ASSERT_FALSE(expect.empty()) << name;
  std::istringstream lines(expect);
  std::string line;
  std::size_t cursor = 0;
  int lineNumber = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (line.empty() || line[0] == '#') continue;
    const std::string where = name + ".expect:" + std::to_string(lineNumber);
    std::optional<double> at;
    if (line.starts_with("at ")) {
      const auto space = line.find(' ', 3);
      at = parseDuration(line.substr(3, space - 3));
      ASSERT_TRUE(at) << where;
      line = line.substr(space + 1);
    }
    if (line.starts_with("seq ")) {
      const std::string prefix = line.substr(4);
      bool found = false;
      for (; cursor < events.size(); ++cursor) {
        if (events[cursor].summary.starts_with(prefix)) {
          found = true;
          break;
        }
      }
      ASSERT_TRUE(found) << where << ": no event '" << prefix << "' in order; events:\n"
                         << dump(events);
      if (at) {
        EXPECT_DOUBLE_EQ(events[cursor].t, *at) << where << ": " << prefix;
      }
      ++cursor;
    } else if (line.starts_with("count ")) {
      const auto space = line.rfind(' ');
      const std::string prefix = line.substr(6, space - 6);
      const int wanted = std::stoi(line.substr(space + 1));
      int seen = 0;
      for (const auto& e : events) seen += e.summary.starts_with(prefix) ? 1 : 0;
      EXPECT_EQ(seen, wanted) << where << ": count of '" << prefix << "'";
    } else {
      FAIL() << where << ": unknown expectation";
    }
  }
}

// Plays the scenario in a run of its own and gathers the events it tells.
std::vector<SimEvent> play(const Scenario& scenario, std::ostream* jsonl = nullptr) {
  LaptopRunOptions options;
  options.start = scenario.start;
  options.userName = scenario.user;
  std::vector<SimEvent> events;  // outlives the run, which may still tell events as it ends
  LaptopRun run(options);
  run.log().listener = [&events](const SimEvent& e) { events.push_back(e); };
  run.log().setStream(jsonl);
  EXPECT_TRUE(playScenario(scenario, run));
  return events;
}

// A scenario of tests/data/sim, by its file name without ".scenario".
struct ScenarioName {
  const char* name;
};
void PrintTo(const ScenarioName& s, std::ostream* os) { *os << s.name; }

class ScenarioTest : public ::testing::TestWithParam<ScenarioName> {};

TEST_P(ScenarioTest, EventsMatchExpectations) {
  const std::string name = GetParam().name;
  const ScenarioParse parsed = loadScenario(kData + name + ".scenario");
  ASSERT_TRUE(parsed.scenario) << parsed.error->str();
  checkExpectations(name, play(*parsed.scenario));
}

// Set up by an earlier release: its broader sudoers rule is narrowed at start.
INSTANTIATE_TEST_SUITE_P(RuleUpgrade, ScenarioTest,
                         ::testing::Values(ScenarioName{"rule_upgrade"},
                                           ScenarioName{"rule_elsewhere"}));

INSTANTIATE_TEST_SUITE_P(
    Scenarios, ScenarioTest,
    ::testing::Values(ScenarioName{"first_start_setup"}, ScenarioName{"first_start_cancel"},
                      ScenarioName{"first_start_quit"}, ScenarioName{"threshold_switch"},
                      ScenarioName{"plug_cycle"}, ScenarioName{"user_switches_off"},
                      ScenarioName{"failing_switch"}, ScenarioName{"month_end"},
                      ScenarioName{"smart_prediction"}, ScenarioName{"change_while_waiting"},
                      ScenarioName{"prompt_unanswered"}, ScenarioName{"dialog_at_start"},
                      ScenarioName{"launch_message_open"}));

// One JSON line per event, whose time of day is the start plus its "t", even
// for events a hair before a whole second.
TEST(ScenarioEvents, EveryEventIsOneJsonLineWhoseTimeAgreesWithT) {
  const ScenarioParse parsed = loadScenario(kData + "first_start_setup.scenario");
  ASSERT_TRUE(parsed.scenario);
  std::ostringstream jsonl;
  const std::vector<SimEvent> events = play(*parsed.scenario, &jsonl);
  const std::string text = jsonl.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), events.size());
  for (const SimEvent& e : events) {
    EXPECT_NE(e.json.find("\"time\":\"" + isoTime(parsed.scenario->start + e.t) + "\""),
              std::string::npos)
        << e.json;
  }
}

// The pass after midnight saves the learning file twice: the new sample, then
// the new day. Both writes are events, even with no other event between them.
TEST(ScenarioEvents, EveryWriteOfAFileIsAnEvent) {
  const ScenarioParse parsed = parseScenario(
      "start 2026-03-14T23:59:50\n"
      "file .kestrine_config.json {\"threshold\":20,\"notifications\":true,"
      "\"setupComplete\":true,\"useSmartMode\":false,\"smartModeTargetMinutes\":60}\n"
      "sudoers-rule installed\n"
      "power mains\n"
      "end 0:01:00\n",
      "midnight.scenario", ".");
  ASSERT_TRUE(parsed.scenario) << parsed.error->str();
  std::vector<double> writes;
  for (const auto& e : play(*parsed.scenario)) {
    if (e.summary == "file .kestrine_ai_data.json") writes.push_back(e.t);
  }
  EXPECT_EQ(writes, (std::vector<double>{30.0, 30.0, 60.0}));
}

// Malformed input names the file and line and says what is wrong.
class MalformedScenarioTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(MalformedScenarioTest, IsRejectedWithItsLine) {
  const auto parsed = parseScenario(GetParam().text, "bad.scenario", ".");
  ASSERT_FALSE(parsed.scenario);
  expectNamesLineAndProblem(*parsed.error, GetParam());
  EXPECT_TRUE(parsed.error->str().starts_with("bad.scenario:"));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MalformedScenarioTest,
    ::testing::Values(BadInput{"battery 50\n", 0, "no 'end'"},
                      BadInput{"end 1:00:00\nat 0:10:00 explode\n", 2, "unknown step 'explode'"},
                      BadInput{"# c\nbattery 101\nend 1:00\n", 2, "percentage from 0 to 100"},
                      BadInput{"at 0:61:00 plug\nend 2:00:00\n", 1, "bad time"},
                      BadInput{"at 0:10:00 plug\nat 0:05:00 unplug\nend 1:00:00\n", 2,
                               "back in time"},
                      BadInput{"at 0:10:00 plug\nend 0:05:00\n", 1, "after the end"},
                      BadInput{"file /etc/passwd x\nend 1:00\n", 1, "'/etc/passwd' must stay"},
                      BadInput{"file notes hi\nfile notes/inner.txt x\nend 1:00\n", 2, "clashes"},
                      BadInput{"file sub//a x\nfile sub y\nend 1:00\n", 2, "clashes"},
                      BadInput{"tool sudo explode\nend 1:00\n", 1, "unknown tool outcome"},
                      BadInput{"tool sudo hang\nend 1:00\n", 1, "only the reports"},
                      BadInput{"at 0:01:00 menu changeThreshold: 9223372036854775807\nend 1:00\n",
                               1, "tag (a percentage) from 0 to 100"},
                      BadInput{"lowpowermode 9223372036854775807\nend 1:00\n", 1, "from 0 to 1,"},
                      BadInput{"drain 4.9e-324\nend 1:00\n", 1, "0 or from 0.001 to 100"},
                      BadInput{"start 2026-02-30T00:00:00\nend 1:00\n", 1, "bad start"},
                      BadInput{"start 2100-01-01T00:00:00\nend 1:00\n", 1, "not between 1970"},
                      BadInput{"report batt bad\\q\nend 1:00\n", 1, "bad escape"},
                      BadInput{"end 1:00\nend 2:00\n", 2, "twice"},
                      BadInput{"end 1e305d\n", 1, "at most 400d"},
                      BadInput{"answer ok\nend 1:00\n", 1, "offers 'ok'; the buttons are"}));

TEST(ScenarioExamples, AreWellFormed) {
  for (const auto& entry :
       std::filesystem::directory_iterator(KESTRINE_SOURCE_DIR "/sim/examples")) {
    const auto parsed = loadScenario(entry.path());
    EXPECT_TRUE(parsed.scenario) << parsed.error->str();
  }
}

TEST(ScenarioReportText, UndoesItsFourEscapes) {
  const auto parsed = parseScenario("report batt a\\tb\\\\n\\r\\n\nend 1:00\n", "r.scenario", ".");
  ASSERT_TRUE(parsed.scenario) << parsed.error->str();
  ASSERT_EQ(parsed.scenario->steps.size(), 1u);
  EXPECT_EQ(parsed.scenario->steps[0].text, "a\tb\\n\r\n");
}

}  // namespace
}  // namespace kestrine::sim
