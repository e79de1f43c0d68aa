#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fake/observers.h"
#include "platform/fake/virtual_main_loop.h"
#include "ports/tool_runner.h"

namespace kestrine::fake {

// One run of a tool: what was asked, what came back, and when (virtual time).
struct ToolRun {
  ToolRequest request;
  ToolResult result;
  WallTime startedAt = 0.0;
  WallTime endedAt = 0.0;
};

// A finished run with this exit status and captured output.
ToolResult exitedWith(int status, std::string output = {});
// A program that could not be started, with the start error's description.
ToolResult failedToStart(std::string description = "No such file or directory");

// "program arg1 arg2", for logs and timelines; arguments are not quoted.
std::string commandLine(const ToolRequest& request);

// Runs no process: a handler answers every request. Without a handler every
// program fails to start. A handler that models a slow tool or a password
// dialog lets time pass with VirtualMainLoop::passTimeBlocked().
class ScriptedToolRunner final : public ToolRunner {
 public:
  using Handler = std::function<ToolResult(const ToolRequest&)>;

  explicit ScriptedToolRunner(const VirtualMainLoop* loop = nullptr) : loop_(loop) {}

  ToolResult run(const ToolRequest& request) override;

  void setHandler(Handler handler) { handler_ = std::move(handler); }

  const std::vector<ToolRun>& runs() const { return runs_; }
  void clearLog() { runs_.clear(); }

  Observers<ToolRun> observers;

 private:
  const VirtualMainLoop* loop_;
  Handler handler_;
  std::vector<ToolRun> runs_;
};

}  // namespace kestrine::fake
