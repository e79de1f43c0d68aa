#include "platform/posix/console.h"

#include <cstdio>

namespace kestrine {

void StdoutConsole::printLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace kestrine
