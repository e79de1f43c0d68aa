#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/fake/recorder.h"
#include "platform/fake/virtual_main_loop.h"
#include "ports/tool_runner.h"

namespace kestrine::fake {

// A finished run with this exit status and captured output.
ToolResult exitedWith(int status, std::string output = {});
// A program that could not be started, with the start error's description.
ToolResult failedToStart(std::string description = "No such file or directory");

// "program arg1 arg2", for logs and timelines; arguments are not quoted.
std::string commandLine(const ToolRequest& request);

// Runs no process: a handler answers every request, and each run is recorded.
// Without a handler every program fails to start. A handler that models a slow tool or a password
// dialog lets time pass with VirtualMainLoop::passTimeBlocked().
class ScriptedToolRunner final : public ToolRunner {
 public:
  using Handler = std::function<ToolResult(const ToolRequest&)>;

  explicit ScriptedToolRunner(const VirtualMainLoop* loop = nullptr, Recorder* recorder = nullptr)
      : loop_(loop), recorder_(recorder) {}

  ToolResult run(const ToolRequest& request) override;

  void setHandler(Handler handler) { handler_ = std::move(handler); }

 private:
  const VirtualMainLoop* loop_;
  Recorder* recorder_;
  Handler handler_;
};

}  // namespace kestrine::fake
