#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mac_power/system_tools.h"
#include "ports/console.h"
#include "ports/power.h"
#include "ports/power_sources.h"
#include "ports/tool_runner.h"
#include "ports/user_name.h"

namespace kestrine {

// Command lines, built apart from running them.
std::vector<std::string> sudoSwitchArguments(const SystemTools& tools, std::int64_t mode);
std::string switchScript(std::int64_t mode);

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

// Power through the Mac's system tools: the battery level from the power
// sources, `pmset` reports for the rest, `sudo -n /usr/bin/pmset` for the switch with the
// administrator dialog of `osascript` as the fallback, and the one-time setup
// that installs the sudoers rule. The macOS backend and the virtual laptop use it.
class PowerControl final : public Power {
 public:
  static constexpr std::chrono::milliseconds kDefaultReportTimeout{10'000};

  PowerControl(ToolRunner& runner, PowerSources& sources, const UserName& user, SystemTools tools,
               std::chrono::milliseconds reportTimeout = kDefaultReportTimeout,
               SetupFollowUp followUp = {});

  std::optional<std::int64_t> getBatteryLevel() override;
  bool isOnBattery() override;
  std::optional<PowerMode> getPowerMode() override;
  // `sudo -n` first; on any failure the administrator dialog through osascript,
  // closed after kPasswordPromptLimit as if cancelled.
  bool setPowerMode(PowerMode mode) override;
  bool hasOneTimeSetup() const override { return true; }
  void runOneTimeSetup(Alerts& alerts, const SetupHooks& hooks) override;
  // Replaces the older rule that allowed pmset with any further arguments;
  // once told that it lives elsewhere, never asks again.
  void upgradeOneTimeSetup(Alerts& alerts) override;

  const SystemTools& tools() const { return tools_; }

 private:
  // After a successful setup: afterSetup, and the login item once.
  void followUpSetup();

  ToolRunner& runner_;
  PowerSources& sources_;
  const UserName& user_;
  SystemTools tools_;
  std::chrono::milliseconds reportTimeout_;
  SetupFollowUp followUp_;
};

}  // namespace kestrine
