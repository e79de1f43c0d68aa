#pragma once

#include <string>

namespace kestrine {

struct Notification {
  std::string title;
  std::string subtitle;
  std::string body;
  // Always delivered with the system's default sound.
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Hands the notification to the system at once. No feedback: a notification
  // the system declines to show is lost silently.
  virtual void deliver(const Notification& notification) = 0;
};

}  // namespace kestrine
