#pragma once

#include <functional>
#include <memory>

#include "ports/main_loop.h"

namespace kestrine {

// The main run loop of the running NSApplication: repeating NSTimers in the
// default run-loop mode and delayed calls on the main dispatch queue.
class MacMainLoop final : public MainLoop {
 public:
  std::unique_ptr<Timer> scheduleRepeating(double intervalSeconds,
                                           std::function<void()> callback) override;
  void callAfter(double delaySeconds, std::function<void()> callback) override;
  void terminate() override;
  void enterModal() override;
  void leaveModal() override;
};

}  // namespace kestrine
