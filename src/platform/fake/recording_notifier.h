#pragma once

#include "platform/fake/recorder.h"
#include "ports/notifications.h"

namespace kestrine::fake {

// Records every notification delivered instead of showing it.
class RecordingNotifier final : public Notifier {
 public:
  explicit RecordingNotifier(Recorder* recorder = nullptr) : recorder_(recorder) {}
  void deliver(const Notification& notification) override {
    if (recorder_) recorder_->add(notification);
  }

 private:
  Recorder* recorder_;
};

}  // namespace kestrine::fake
