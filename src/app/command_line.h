#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ports/wording.h"

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
// values are not taken. The error is in the wording's words.
CommandLine parseCommandLine(const std::vector<std::string_view>& arguments,
                             const Wording& wording = {});

// The texts --help (in the wording's words) and --version print, each ending
// with a newline.
std::string helpText(const Wording& wording = {});
std::string versionText();

}  // namespace kestrine
