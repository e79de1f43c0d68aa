#include "platform/fake/scripted_alerts.h"

namespace kestrine::fake {

int ScriptedAlerts::runModal(const Alert& alert) {
  AlertAnswered record{
      .alert = alert, .answer = kAlertFirstButton, .shownAt = 0.0, .answeredAt = 0.0};
  if (loop_) record.shownAt = loop_->now();
  if (recorder_) recorder_->add(AlertOpened{alert});

  AlertAnswer answer;
  if (!queued_.empty()) {
    answer = queued_.front();
    queued_.pop_front();
  } else if (responder_) {
    answer = responder_(alert);
  }
  if (loop_ && answer.secondsOpen > 0.0) {
    // Passes run meanwhile unless the alert holds them: the loop runs in the
    // alert's mode either way, and only the modal gate keeps passes back.
    if (alert.holdsChecks) {
      loop_->passTimeModal(answer.secondsOpen);
    } else {
      loop_->runFor(answer.secondsOpen);
    }
  }

  record.answer = answer.button;
  if (loop_) record.answeredAt = loop_->now();
  if (recorder_) recorder_->add(std::move(record));
  return answer.button;
}

}  // namespace kestrine::fake
