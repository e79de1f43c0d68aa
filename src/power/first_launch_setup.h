#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ports/alerts.h"
#include "ports/tool_runner.h"
#include "power/system_tools.h"

namespace kestrine {

// Texts of the privileged setup, built apart from running them.
bool isSafeUserName(std::string_view name);
std::string setupRuleLine(std::string_view userName, const SystemTools& tools);
std::string setupShellCommand(std::string_view userName, const SystemTools& tools);
std::string setupScript(std::string_view userName, const SystemTools& tools);

struct SetupHooks {
  std::function<void()> quit;                      // "Quit" in the welcome alert
  std::function<void()> installed;                 // set setupComplete, save, launch check
  std::function<std::int64_t()> currentThreshold;  // for the confirmation text
};

// The welcome alert, the one administrator prompt that installs the sudoers
// rule, and the outcome alert. Alerts go through `alerts` (modal).
void runFirstLaunchSetup(Alerts& alerts, ToolRunner& runner, const SystemTools& tools,
                         std::string_view userName, const SetupHooks& hooks);

}  // namespace kestrine
