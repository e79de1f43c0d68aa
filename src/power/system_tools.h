#pragma once

#include <string>

namespace kestrine {

// The system programs Kestrine runs and where its sudoers rule lives. One table
// per platform; the command lines built from it have the same shape everywhere.
struct SystemTools {
  std::string pmset;             // absolute path, run for the two reports
  std::string sudo;              // absolute path
  std::string osascript;         // absolute path
  std::string sudoersDirectory;  // the rule file is <sudoersDirectory>/kestrine
  std::string sudoPmsetName;     // how `sudo -n` names pmset ("pmset" on macOS)
  std::string rulePmsetPath;     // the command the sudoers rule allows ("/usr/bin/pmset" on macOS)
};

// The table of the platform this binary was built for.
const SystemTools& platformSystemTools();

// The macOS table; also what the virtual laptop emulates.
SystemTools macSystemTools();

}  // namespace kestrine
