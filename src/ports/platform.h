#pragma once

#include "ports/alerts.h"
#include "ports/clock.h"
#include "ports/console.h"
#include "ports/home_directory.h"
#include "ports/learning_store.h"
#include "ports/main_loop.h"
#include "ports/notifications.h"
#include "ports/power.h"
#include "ports/status_item.h"
#include "ports/wording.h"

namespace kestrine {

// Everything the core needs from the machine it runs on. A backend (or the
// virtual laptop) owns the implementations and outlives the delegate.
struct Platform {
  StatusBar& statusBar;
  Alerts& alerts;
  Notifier& notifier;
  MainLoop& mainLoop;
  Power& power;
  const Clock& clock;
  const HomeDirectory& home;
  Console& console;
  // How texts name the machine, the status area and the power modes.
  Wording wording = {};
  // Where the predictor keeps its learning record; none: the learning file in
  // the home directory.
  LearningStore* learningStore = nullptr;
};

}  // namespace kestrine
