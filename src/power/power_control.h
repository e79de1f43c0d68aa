#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ports/power_sources.h"
#include "ports/tool_runner.h"
#include "power/system_tools.h"

namespace kestrine {

// Command lines, built apart from running them.
std::vector<std::string> sudoSwitchArguments(const SystemTools& tools, std::int64_t mode);
std::string switchScript(std::int64_t mode);

// Reads the battery and the power mode, and switches Low Power Mode, through the
// platform's power sources and system tools.
class PowerControl {
 public:
  static constexpr std::chrono::milliseconds kDefaultReportTimeout{10'000};

  PowerControl(ToolRunner& runner, PowerSources& sources, SystemTools tools,
               std::chrono::milliseconds reportTimeout = kDefaultReportTimeout);

  std::optional<std::int64_t> getBatteryLevel();
  bool isOnBattery();
  std::optional<std::int64_t> getPowerMode();
  // `sudo -n` first; on any failure the administrator dialog through osascript.
  bool setPowerMode(std::int64_t mode);

  const SystemTools& tools() const { return tools_; }

 private:
  ToolRunner& runner_;
  PowerSources& sources_;
  SystemTools tools_;
  std::chrono::milliseconds reportTimeout_;
};

}  // namespace kestrine
