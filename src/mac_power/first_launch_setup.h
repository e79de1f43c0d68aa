#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mac_power/system_tools.h"
#include "ports/alerts.h"
#include "ports/power.h"
#include "ports/tool_runner.h"

namespace kestrine {

// Texts of the privileged setup, built apart from running them.
bool isSafeUserName(std::string_view name);
std::string setupRuleLine(std::string_view userName, const SystemTools& tools);
std::string setupShellCommand(std::string_view userName, const SystemTools& tools);
std::string setupScript(std::string_view userName, const SystemTools& tools);

// Whether a `sudo -n -l` run listed the older rule that allowed pmset with any
// further arguments; a run that failed (no rule, sudo missing) lists nothing.
bool ruleNeedsNarrowing(const ToolResult& listing, const SystemTools& tools);

// At a start after a completed setup: when sudo lists the older rule, says so
// once and installs the exact rule through the setup command (one prompt). A
// cancel keeps the older rule, and the next start asks again.
void narrowBroadRule(Alerts& alerts, ToolRunner& runner, const SystemTools& tools,
                     std::string_view userName, std::chrono::milliseconds listingTimeout);

// The welcome alert, the one administrator prompt that installs the sudoers
// rule, and the outcome alert. Alerts go through `alerts` (modal).
void runFirstLaunchSetup(Alerts& alerts, ToolRunner& runner, const SystemTools& tools,
                         std::string_view userName, const SetupHooks& hooks);

}  // namespace kestrine
