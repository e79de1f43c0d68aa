#pragma once

#include "ports/alerts.h"
#include "ports/clock.h"
#include "ports/console.h"
#include "ports/home_directory.h"
#include "ports/learning_store.h"
#include "ports/main_loop.h"
#include "ports/notifications.h"
#include "ports/one_time_setup.h"
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
  // Whether failures that would otherwise only be printed (a save that failed)
  // are also told in a notification: an autostarted application's printed
  // lines go unseen on a Linux desktop. The Mac's version only prints them.
  bool notifiesFailures = false;
  // Where the predictor keeps its learning record; none: the learning file in
  // the home directory.
  LearningStore* learningStore = nullptr;
  // The setup switching needs once (the Mac's sudoers rule); none: every
  // start, the first included, is a normal one.
  OneTimeSetup* oneTimeSetup = nullptr;
};

}  // namespace kestrine
