#pragma once

#include "ports/tool_runner.h"

namespace kestrine {

// Runs system tools with posix_spawn: no shell, the program by absolute path,
// standard input and error shared with the application, standard output either
// shared or read through a pipe while the child runs (to the end, keeping at
// most the request's maxOutputBytes of it). The child gets none of the
// application's other file descriptors and the default signal handling.
class PosixToolRunner : public ToolRunner {
 public:
  ToolResult run(const ToolRequest& request) override;
};

}  // namespace kestrine
