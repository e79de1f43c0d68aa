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
#include <sstream>
#include <string>

#include "sim/laptop_run.h"
#include "sim/malformed_input.h"
#include "sim/scenario.h"
#include "storage/file_store.h"

namespace kestrine::sim {
namespace {

const std::string kData = std::string(KESTRINE_TEST_DATA) + "/sim/";

std::string dump(const std::vector<SimEvent>& events) {
  std::string out;
  for (const auto& e : events) out += std::to_string(e.t) + "  " + e.summary + "\n";
  return out;
}

void checkExpectations(const std::string& name, const std::vector<SimEvent>& events) {
  const std::string expect = readWholeFile(kData + name + ".expect").bytes.value_or("");
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

// Every NAME.scenario of tests/data/sim; a scenario without its .expect fails.
TEST(ScenarioTest, EventsMatchExpectations) {
  int played = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kData)) {
    if (entry.path().extension() != ".scenario") continue;
    const std::string name = entry.path().stem().string();
    SCOPED_TRACE(name);
    const ScenarioParse parsed = loadScenario(entry.path());
    ASSERT_TRUE(parsed.scenario) << parsed.error->str();
    checkExpectations(name, play(*parsed.scenario));
    ++played;
  }
  EXPECT_GE(played, 16);
}

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

// Each malformed/NAME.scenario is refused: its first line, "# refused LINE:
// TEXT", names the line the error must give (0: the file as a whole) and a
// part of its message.
TEST(MalformedScenario, IsRejectedWithItsLine) {
  int refused = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kData + "malformed")) {
    if (entry.path().extension() != ".scenario") continue;
    const std::string text = *readWholeFile(entry.path()).bytes;
    const std::string claim = text.substr(10, text.find('\n') - 10);  // after "# refused "
    const auto parsed = loadScenario(entry.path());
    ASSERT_FALSE(parsed.scenario) << entry.path();
    EXPECT_EQ(parsed.error->file, entry.path().string());
    expectNamesLineAndProblem(*parsed.error, std::stoi(claim), claim.substr(claim.find(": ") + 2));
    ++refused;
  }
  EXPECT_GE(refused, 21);
}

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
