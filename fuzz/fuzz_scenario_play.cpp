// Scenarios played on the virtual laptop with the real application, so that
// whatever the reader lets through also runs under the sanitizers: the steps'
// numbers reaching the machine and the application, the clock, every event.
// Runs are cut to their first hour to keep inputs quick. Scenarios that copy
// files in ("file-from") are left to fuzz_scenario, so no input reads a real
// file; each run writes only into a new folder of its own, removed after it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sim/laptop_run.h"
#include "sim/scenario.h"

namespace {
constexpr double kLongestPlay = 3600.0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrine::sim;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (text.find("file-from") != std::string_view::npos) return 0;
  ScenarioParse parsed = parseScenario(text, "fuzz.scenario", "/nonexistent/kestrine-fuzz");
  if (!parsed.scenario) return 0;
  Scenario& scenario = *parsed.scenario;
  std::erase_if(scenario.steps, [](const ScenarioStep& step) { return step.at > kLongestPlay; });
  scenario.end = std::min(scenario.end, kLongestPlay);

  const RunFolder folder;
  if (folder.path().empty()) return 0;
  LaptopRunOptions options;
  options.start = scenario.start;
  options.userName = scenario.user;
  options.home = folder.path();
  LaptopRun run(options);
  playScenario(scenario, run);
  return 0;
}
