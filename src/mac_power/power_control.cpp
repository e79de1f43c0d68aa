#include "mac_power/power_control.h"

#include <utility>

#include "mac_power/first_launch_setup.h"
#include "mac_power/reports.h"

namespace kestrine {

std::vector<std::string> sudoSwitchArguments(const SystemTools& tools, std::int64_t mode) {
  return {"-n", tools.rulePmsetPath, "-b", "lowpowermode", std::to_string(mode)};
}

std::string switchScript(std::int64_t mode) {
  return "do shell script \"pmset -b lowpowermode " + std::to_string(mode) +
         "\" with administrator privileges with prompt \"Kestrine needs your password to change "
         "Low Power Mode.\"";
}

PowerControl::PowerControl(ToolRunner& runner, PowerSources& sources, SystemTools tools,
                           std::chrono::milliseconds reportTimeout)
    : runner_(runner), sources_(sources), tools_(std::move(tools)), reportTimeout_(reportTimeout) {}

namespace {

// A report's text, or nothing when pmset could not be started or had to be
// killed. Its exit status says nothing the text does not.
std::optional<std::string> readReport(ToolRunner& runner, const std::string& pmset,
                                      const char* which, std::chrono::milliseconds timeout) {
  ToolRequest request;
  request.program = pmset;
  request.arguments = {"-g", which};
  request.captureOutput = true;
  request.timeout = timeout;
  ToolResult result = runner.run(request);
  if (!result.started || result.timedOut) return std::nullopt;
  return std::move(result.output);
}

// Started and ended with status 0 within the time limit, if there is one.
bool runsSuccessfully(ToolRunner& runner, const std::string& program,
                      std::vector<std::string> arguments,
                      std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
  ToolRequest request;
  request.program = program;
  request.arguments = std::move(arguments);
  request.timeout = timeout;
  const ToolResult result = runner.run(request);
  return result.started && !result.timedOut && result.exitStatus == 0;
}

}  // namespace

std::optional<std::int64_t> PowerControl::getBatteryLevel() {
  return batteryLevelFromSources(sources_.copySources());
}

bool PowerControl::isOnBattery() {
  const auto report = readReport(runner_, tools_.pmset, "batt", reportTimeout_);
  return report && batteryReportSaysOnBattery(*report);
}

// pmset's lowpowermode value is the mode's number, whatever value it holds.
std::optional<PowerMode> PowerControl::getPowerMode() {
  const auto report = readReport(runner_, tools_.pmset, "custom", reportTimeout_);
  if (!report) return std::nullopt;
  const std::optional<std::int64_t> value = powerModeFromCustomReport(*report);
  if (!value) return std::nullopt;
  return PowerMode{*value};
}

bool PowerControl::setPowerMode(PowerMode mode) {
  const auto value = static_cast<std::int64_t>(mode);
  if (runsSuccessfully(runner_, tools_.sudo, sudoSwitchArguments(tools_, value))) return true;
  // The pass waits for the dialog; one nobody answers counts as a cancel.
  return runsSuccessfully(runner_, tools_.osascript, {"-e", switchScript(value)},
                          kPasswordPromptLimit);
}

}  // namespace kestrine
