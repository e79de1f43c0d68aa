#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine::tools {

// The one script form the osascript stand-in runs:
//   do shell script "COMMAND" with administrator privileges with prompt "TEXT"
// Inside the two strings \" stands for a double quote and \\ for a backslash.
struct AdminScript {
  std::string command;
  std::string prompt;
};

// Absent for any other text, including trailing or missing parts.
std::optional<AdminScript> parseAdminScript(std::string_view script);

// The argument list of the run: pkexec, then /bin/sh -c with the command
// behind a PATH assignment that makes the bare tool names of the scripts
// (pmset, visudo, ...) resolve to the stand-ins and the system's tools.
std::vector<std::string> privilegedCommandLine(const std::string& pkexec,
                                               const std::string& toolPath,
                                               const std::string& command);

}  // namespace kestrine::tools
