#pragma once

#include <string>

namespace kestrine {

// The system programs Kestrine runs and where its sudoers rule lives. Tests
// put their own programs in their place.
struct SystemTools {
  std::string pmset;             // absolute path, run for the two reports
  std::string sudo;              // absolute path
  std::string osascript;         // absolute path
  std::string sudoersDirectory;  // the rule file is <sudoersDirectory>/kestrine
  // The pmset the sudoers rule allows and `sudo -n` runs, by this absolute path:
  // a name that sudo looked up in PATH would no longer match the rule.
  std::string rulePmsetPath;
};

// The programs of macOS; also what the virtual laptop emulates.
SystemTools macSystemTools();

}  // namespace kestrine
