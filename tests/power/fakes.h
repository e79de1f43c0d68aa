#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ports/alerts.h"
#include "ports/power_sources.h"
#include "ports/tool_runner.h"

namespace kestrine::testing_fakes {

// Records every request and answers with the queued results in order; once the
// queue is empty, every run fails to start.
class FakeToolRunner : public ToolRunner {
 public:
  ToolResult run(const ToolRequest& request) override {
    requests.push_back(request);
    if (onRun) onRun(request);
    if (results.empty()) return notStarted("nothing queued");
    ToolResult result = results.front();
    results.pop_front();
    return result;
  }

  static ToolResult exited(int status, std::string output = {}) {
    ToolResult result;
    result.started = true;
    result.exitStatus = status;
    result.output = std::move(output);
    return result;
  }
  static ToolResult notStarted(std::string error) {
    ToolResult result;
    result.startError = std::move(error);
    return result;
  }
  static ToolResult timedOut(std::string output = {}) {
    ToolResult result = exited(137, std::move(output));
    result.timedOut = true;
    return result;
  }

  std::deque<ToolResult> results;
  std::vector<ToolRequest> requests;
  std::function<void(const ToolRequest&)> onRun;
};

class FakePowerSources : public PowerSources {
 public:
  std::optional<PowerSourceList> copySources() override {
    ++calls;
    return sources;
  }
  std::optional<PowerSourceList> sources;
  int calls = 0;
};

// Records the alerts shown and answers with the queued answers (then 1000).
class FakeAlerts : public Alerts {
 public:
  int runModal(const Alert& alert) override {
    shown.push_back(alert);
    if (onShow) onShow(alert);
    if (answers.empty()) return kAlertFirstButton;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<int> answers;
  std::vector<Alert> shown;
  std::function<void(const Alert&)> onShow;
};

}  // namespace kestrine::testing_fakes
