#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "sim/laptop_run.h"

namespace kestrine::sim {

// Prints the run's events as the demo's timeline on standard output, one line
// per thing that happened; `also` sees every event first.
void tellTimeline(LaptopRun& run, std::function<void(const SimEvent&)> also = {});

// The built-in story, told as a timeline on standard output; returns the exit status.
int runDemo(const std::optional<std::filesystem::path>& home,
            const std::optional<std::string>& eventsFile);

}  // namespace kestrine::sim
