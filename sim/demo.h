#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sim/laptop_run.h"
#include "sim/scenario.h"

namespace kestrine::sim {

// Prints the run's events as a timeline on standard output, one line per
// thing that happened; `also` sees every event first.
void tellTimeline(LaptopRun& run, std::function<void(const SimEvent&)> also = {});

// Plays the scenario in `home`. Its events go as JSON lines to the file
// `events` ("-": standard output); told as a timeline as well with `tell`, or
// when they go nowhere else. Returns the exit status.
int playScenarioFile(const Scenario& scenario, const std::filesystem::path& home,
                     const std::optional<std::string>& events, bool tell);

// The demo: examples/demo.scenario, built in, told as a timeline.
extern const std::string_view kDemoScenario;
int runDemo(const std::filesystem::path& home, const std::optional<std::string>& events);

}  // namespace kestrine::sim
