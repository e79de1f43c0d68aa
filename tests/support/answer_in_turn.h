#pragma once

#include <utility>
#include <vector>

#include "platform/fake/scripted_tool_runner.h"

namespace kestrine::testing_support {

// Scripts the runner to answer its runs in turn with `results`; any later run
// fails to start.
inline void answerInTurn(fake::ScriptedToolRunner& runner, std::vector<ToolResult> results) {
  runner.setHandler(
      [turn = std::size_t{0}, results = std::move(results)](const ToolRequest&) mutable {
        return turn < results.size() ? results[turn++] : fake::failedToStart();
      });
}

// A run that the time limit ended, with what it had printed by then.
inline ToolResult timedOutWith(std::string output) {
  ToolResult result = fake::exitedWith(137, std::move(output));
  result.timedOut = true;
  return result;
}

}  // namespace kestrine::testing_support
