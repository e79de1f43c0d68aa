#pragma once

#include "ports/alerts.h"
#include "ports/clock.h"
#include "ports/console.h"
#include "ports/home_directory.h"
#include "ports/main_loop.h"
#include "ports/notifications.h"
#include "ports/power_sources.h"
#include "ports/status_item.h"
#include "ports/tool_runner.h"
#include "ports/user_name.h"
#include "power/system_tools.h"

namespace kestrine {

// Everything the core needs from the machine it runs on. A backend (or the
// virtual laptop) owns the implementations and outlives the delegate.
struct Platform {
  StatusBar& statusBar;
  Alerts& alerts;
  Notifier& notifier;
  MainLoop& mainLoop;
  ToolRunner& tools;
  PowerSources& powerSources;
  const Clock& clock;
  const HomeDirectory& home;
  const UserName& user;
  Console& console;
  SystemTools systemTools;
};

}  // namespace kestrine
