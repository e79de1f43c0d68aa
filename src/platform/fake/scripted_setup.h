#pragma once

#include <functional>

#include "ports/one_time_setup.h"

namespace kestrine::fake {

// A one-time setup as a script: what running it does; by default it is
// installed at once.
class ScriptedSetup final : public OneTimeSetup {
 public:
  std::function<void(Alerts&, const SetupHooks&)> script;

  void run(Alerts& alerts, const SetupHooks& hooks) override {
    if (script) {
      script(alerts, hooks);
    } else if (hooks.installed) {
      hooks.installed();
    }
  }
};

}  // namespace kestrine::fake
