#pragma once

#include <string_view>

namespace kestrine {

// Where the application's few one-line messages go ("Failed to save config: ..."):
// standard output in the real application, a recorder in the virtual laptop.
class Console {
 public:
  virtual ~Console() = default;
  // Prints `line` followed by one line feed.
  virtual void printLine(std::string_view line) = 0;
};

}  // namespace kestrine
