#include "platform/fake/scripted_tool_runner.h"

namespace kestrine::fake {

ToolResult exitedWith(int status, std::string output) {
  ToolResult result;
  result.started = true;
  result.exitStatus = status;
  result.output = std::move(output);
  return result;
}

ToolResult failedToStart(std::string description) {
  ToolResult result;
  result.started = false;
  result.startError = std::move(description);
  return result;
}

std::string commandLine(const ToolRequest& request) {
  std::string line = request.program;
  for (const std::string& argument : request.arguments) line += " " + argument;
  return line;
}

ToolResult ScriptedToolRunner::run(const ToolRequest& request) {
  ToolRun record;
  record.request = request;
  if (loop_) record.startedAt = loop_->now();
  record.result = handler_ ? handler_(request) : failedToStart();
  // What is not captured never reaches the caller.
  if (!request.captureOutput) record.result.output.clear();
  if (loop_) record.endedAt = loop_->now();
  if (recorder_) recorder_->add(record);
  return record.result;
}

}  // namespace kestrine::fake
