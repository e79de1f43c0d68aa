#pragma once

#include <vector>

#include "platform/fake/observers.h"
#include "ports/notifications.h"

namespace kestrine::fake {

// Keeps every notification delivered, in order.
class RecordingNotifier final : public Notifier {
 public:
  void deliver(const Notification& notification) override {
    delivered_.push_back(notification);
    observers.notify(notification);
  }

  const std::vector<Notification>& delivered() const { return delivered_; }
  void clearLog() { delivered_.clear(); }

  Observers<Notification> observers;

 private:
  std::vector<Notification> delivered_;
};

}  // namespace kestrine::fake
