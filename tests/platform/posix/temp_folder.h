#pragma once

#include <string>

#include "support/temp_folder.h"

namespace kestrine::testing_fakes {

// The shared temporary folder with its names as strings, the way the runner
// and power tool tests build command lines and scripts from them.
class TempFolder : public testing::TempFolder {
 public:
  std::string operator/(const std::string& name) const { return (path() / name).string(); }

  static void writeFile(const std::string& file, const std::string& text) {
    testing::writeText(file, text);
  }
  static std::string readFile(const std::string& file) { return testing::readText(file); }
};

}  // namespace kestrine::testing_fakes
