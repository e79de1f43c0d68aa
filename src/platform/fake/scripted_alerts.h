#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "platform/fake/observers.h"
#include "platform/fake/virtual_main_loop.h"
#include "ports/alerts.h"

namespace kestrine::fake {

// How the virtual user answers an alert: the button (1000 the first, 1001 the
// second) and how long the alert stays open first, in virtual seconds.
struct AlertAnswer {
  int button = kAlertFirstButton;
  double secondsOpen = 0.0;
};

struct ShownAlert {
  Alert alert;
  int answer = kAlertFirstButton;
  WallTime shownAt = 0.0;
  WallTime answeredAt = 0.0;
};

// Alerts answered by a script: queued answers first, in order, then the
// responder, and otherwise the first button at once. An answer that keeps the
// alert open lets virtual time pass on the loop as a modal alert would (one that
// does not hold the checks lets passes run meanwhile).
class ScriptedAlerts final : public Alerts {
 public:
  explicit ScriptedAlerts(VirtualMainLoop* loop = nullptr) : loop_(loop) {}

  int runModal(const Alert& alert) override;

  void queueAnswer(AlertAnswer answer) { queued_.push_back(answer); }
  void queueAnswer(int button, double secondsOpen = 0.0) { queueAnswer({button, secondsOpen}); }
  void setResponder(std::function<AlertAnswer(const Alert&)> responder) {
    responder_ = std::move(responder);
  }

  // Every alert answered so far, in the order they were shown. An alert still
  // open (nested inside another) is appended when it is answered.
  const std::vector<ShownAlert>& shown() const { return shown_; }
  void clearLog() { shown_.clear(); }

  Observers<Alert> onShow;         // as the alert opens
  Observers<ShownAlert> onAnswer;  // as it is answered

 private:
  VirtualMainLoop* loop_;
  std::deque<AlertAnswer> queued_;
  std::function<AlertAnswer(const Alert&)> responder_;
  std::vector<ShownAlert> shown_;
};

}  // namespace kestrine::fake
