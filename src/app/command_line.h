#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

// What the desktop application was asked to do on its command line.
enum class Command {
  kRun,      // no argument: start in the desktop session
  kHelp,     // --help, -h
  kVersion,  // --version
  kQuit,     // --quit: end the running instance
  kInvalid,  // anything else; `error` says what
};

struct CommandLine {
  Command command = Command::kRun;
  std::string error;  // for kInvalid: one line, without the program name
};

// Reads the arguments after the program name. One option at most; "--" and
// values are not taken.
CommandLine parseCommandLine(const std::vector<std::string_view>& arguments);

// The texts --help and --version print, each ending with a newline.
std::string helpText();
std::string versionText();

}  // namespace kestrine
