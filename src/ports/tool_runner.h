#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kestrine {

struct ToolRequest {
  std::string program;                 // absolute path; no shell is involved
  std::vector<std::string> arguments;  // each reaches the program as one argument
  bool captureOutput = false;          // standard output to a pipe; otherwise shared
  // Give up after this long: the child is killed and reaped. None: wait as long as it takes.
  std::optional<std::chrono::milliseconds> timeout;
  // At most this many bytes of captured output are kept; the rest is read and
  // dropped, so a tool that floods its output costs neither memory nor a stall.
  // The reports read here are a few hundred bytes.
  std::size_t maxOutputBytes = 1024 * 1024;
};

struct ToolResult {
  bool started = false;
  std::string startError;        // readable description when the program could not be started
  bool timedOut = false;         // the child outlived the request's timeout and was killed
  int exitStatus = -1;           // the exit status; 128 + signal number when killed by a signal
  std::string output;            // captured standard output bytes (empty when not captured)
  bool outputTruncated = false;  // output stops at the request's maxOutputBytes; more was written
};

class ToolRunner {
 public:
  virtual ~ToolRunner() = default;
  // Starts the program, waits for it to end and returns what happened.
  // Never throws: every failure is described in the result.
  virtual ToolResult run(const ToolRequest& request) = 0;
};

}  // namespace kestrine
