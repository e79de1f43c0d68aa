#pragma once

#include "ports/console.h"

namespace kestrine::linux_desktop {

// Standard output, flushed after every line so that the lines show at once
// even when the output is a pipe or a journal.
class StdoutConsole final : public Console {
 public:
  void printLine(std::string_view line) override;
};

}  // namespace kestrine::linux_desktop
