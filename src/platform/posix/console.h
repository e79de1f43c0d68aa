#pragma once

#include <string_view>

#include "ports/console.h"

namespace kestrine {

// Standard output, flushed after every line so that a line reaches a log or a
// pipe when it is printed, not when the buffer happens to fill.
class StdoutConsole final : public Console {
 public:
  void printLine(std::string_view line) override;
};

}  // namespace kestrine
