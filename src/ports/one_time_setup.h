#pragma once

#include <functional>
#include <string>

#include "ports/alerts.h"

namespace kestrine {

// What a platform's one-time setup hands back to the application.
struct SetupHooks {
  std::function<void()> quit;                  // the user chose not to set up
  std::function<void()> installed;             // set setupComplete, save, launch check
  std::function<std::string()> thresholdRule;  // the rule in force, for the confirmation
};

// A setup that switching needs once, with alerts of its own, before it works
// without asking each time. A platform that has none offers no such port: its
// first start is a normal one.
class OneTimeSetup {
 public:
  virtual ~OneTimeSetup() = default;

  // Runs the setup. Its alerts go through `alerts`, which keeps the modal rule.
  virtual void run(Alerts& alerts, const SetupHooks& hooks) = 0;
  // At a start after the setup was completed: brings what an earlier release's
  // setup installed up to date, with alerts of its own where it must ask.
  virtual void upgrade(Alerts& /*alerts*/) {}
};

}  // namespace kestrine
