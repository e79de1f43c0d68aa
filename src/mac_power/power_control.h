#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mac_power/system_tools.h"
#include "ports/power.h"
#include "ports/power_sources.h"
#include "ports/tool_runner.h"

namespace kestrine {

// Command lines, built apart from running them.
std::vector<std::string> sudoSwitchArguments(const SystemTools& tools, std::int64_t mode);
std::string switchScript(std::int64_t mode);

// Power through the Mac's system tools: the battery level from the power
// sources, `pmset` reports for the rest, `sudo -n /usr/bin/pmset` for the switch with the
// administrator dialog of `osascript` as the fallback (the rule sudo needs is
// SudoersSetup's). The macOS backend and the virtual laptop use it.
class PowerControl final : public Power {
 public:
  static constexpr std::chrono::milliseconds kDefaultReportTimeout{10'000};

  PowerControl(ToolRunner& runner, PowerSources& sources, SystemTools tools,
               std::chrono::milliseconds reportTimeout = kDefaultReportTimeout);

  std::optional<std::int64_t> getBatteryLevel() override;
  bool isOnBattery() override;
  std::optional<PowerMode> getPowerMode() override;
  // `sudo -n` first; on any failure the administrator dialog through osascript,
  // closed after kPasswordPromptLimit as if cancelled.
  bool setPowerMode(PowerMode mode) override;

  const SystemTools& tools() const { return tools_; }

 private:
  ToolRunner& runner_;
  PowerSources& sources_;
  SystemTools tools_;
  std::chrono::milliseconds reportTimeout_;
};

}  // namespace kestrine
