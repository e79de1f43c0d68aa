#pragma once

#include <deque>
#include <functional>

#include "platform/fake/recorder.h"
#include "platform/fake/virtual_main_loop.h"
#include "ports/alerts.h"

namespace kestrine::fake {

// How the virtual user answers an alert: the button (1000 the first, 1001 the
// second) and how long the alert stays open first, in virtual seconds.
struct AlertAnswer {
  int button = kAlertFirstButton;
  double secondsOpen = 0.0;
};

// Alerts answered by a script: queued answers first, in order, then the
// responder, and otherwise the first button at once. An answer that keeps the
// alert open lets virtual time pass on the loop as a modal alert would (one that
// does not hold the checks lets passes run meanwhile). Each alert is recorded
// as it opens and again as it is answered (an alert nested inside another is
// answered first).
class ScriptedAlerts final : public Alerts {
 public:
  explicit ScriptedAlerts(VirtualMainLoop* loop = nullptr, Recorder* recorder = nullptr)
      : loop_(loop), recorder_(recorder) {}

  int runModal(const Alert& alert) override;

  void queueAnswer(AlertAnswer answer) { queued_.push_back(answer); }
  void queueAnswer(int button, double secondsOpen = 0.0) { queueAnswer({button, secondsOpen}); }
  void setResponder(std::function<AlertAnswer(const Alert&)> responder) {
    responder_ = std::move(responder);
  }

 private:
  VirtualMainLoop* loop_;
  Recorder* recorder_;
  std::deque<AlertAnswer> queued_;
  std::function<AlertAnswer(const Alert&)> responder_;
};

}  // namespace kestrine::fake
