#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kestrine::sim {

// The built-in story, told as a timeline on standard output; returns the exit status.
int runDemo(const std::optional<std::filesystem::path>& home,
            const std::optional<std::string>& eventsFile);

}  // namespace kestrine::sim
