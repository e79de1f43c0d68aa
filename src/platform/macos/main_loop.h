#pragma once

#include <functional>
#include <memory>

#include "platform/modal_gate.h"
#include "ports/main_loop.h"

@class NSTimer;

namespace kestrine::macos {

// The main run loop of the running NSApplication: repeating and one-shot
// NSTimers in the default and the modal-panel run-loop modes, so that they
// fire while an alert is open as well.
class MacMainLoop final : public MainLoop {
 public:
  std::unique_ptr<Timer> scheduleRepeating(double intervalSeconds,
                                           std::function<void()> callback) override;
  void callAfter(double delaySeconds, std::function<void()> callback) override;
  void terminate() override;
  void enterModal() override;
  void leaveModal() override;

 private:
  ModalGate gate_;
  NSTimer* held_ = nullptr;  // the timer whose pass waits for the alerts to close
};

}  // namespace kestrine::macos
