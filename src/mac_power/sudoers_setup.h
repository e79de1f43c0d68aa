#pragma once

#include <filesystem>
#include <functional>

#include "mac_power/system_tools.h"
#include "ports/console.h"
#include "ports/one_time_setup.h"
#include "ports/tool_runner.h"
#include "ports/user_name.h"

namespace kestrine {

// What the Mac does after a successful setup besides installing the rule, and
// where it remembers what must happen only once (SetupMemory).
struct SetupFollowUp {
  std::filesystem::path home;  // empty: nothing is remembered, nothing here runs
  Console* console = nullptr;  // where a failed save is said
  // Adds the application to the login items; true when it was added. Called
  // after the first successful setup only: a user who removed the item later
  // keeps it removed.
  std::function<bool()> registerLoginItem;
  // After every successful setup (the Mac asks to send notifications then).
  std::function<void()> afterSetup;
};

// The Mac's one-time setup: the sudoers rule that lets PowerControl switch
// without a password, installed at the first start (runFirstLaunchSetup) and
// narrowed at a later one where an earlier release installed a broader rule.
// The macOS backend and the virtual laptop use it.
class SudoersSetup final : public OneTimeSetup {
 public:
  SudoersSetup(ToolRunner& runner, const UserName& user, SystemTools tools,
               SetupFollowUp followUp = {});

  void run(Alerts& alerts, const SetupHooks& hooks) override;
  // Replaces the older rule that allowed pmset with any further arguments;
  // once told that it lives elsewhere, never asks again.
  void upgrade(Alerts& alerts) override;

 private:
  // After a successful setup: afterSetup, and the login item once.
  void followUpSetup();

  ToolRunner& runner_;
  const UserName& user_;
  SystemTools tools_;
  SetupFollowUp followUp_;
};

}  // namespace kestrine
