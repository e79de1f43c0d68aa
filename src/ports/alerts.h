#pragma once

#include <string>
#include <vector>

namespace kestrine {

// Answers of a modal alert: the first button gives 1000, the second 1001.
inline constexpr int kAlertFirstButton = 1000;
inline constexpr int kAlertSecondButton = 1001;

struct Alert {
  std::string title;                 // the bold message text
  std::string body;                  // the informative text
  std::vector<std::string> buttons;  // in order; empty means one default dismiss button
  // Whether the application comes to the front first. An application without
  // a window of its own that is not active opens its alerts behind the front
  // window, where the user may not find them while every check waits.
  bool bringToFront = false;
  // Whether check passes wait while the alert is open (see MainLoop's modal
  // rule). An alert that only informs must not stop the protection it tells
  // about; a backend may show such an alert without waiting for it.
  bool holdsChecks = true;
};

class Alerts {
 public:
  virtual ~Alerts() = default;
  // Shows `alert` and returns its answer. An alert that holds the checks is
  // modal and returns when the user answers it; one that does not may return
  // kAlertFirstButton at once and stay open on its own.
  virtual int runModal(const Alert& alert) = 0;
};

}  // namespace kestrine
