#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mac_power/system_tools.h"
#include "ports/alerts.h"
#include "ports/one_time_setup.h"
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

// How long an administrator password prompt may stay open. Nobody may be at
// the Mac (a login on battery): the prompt is then closed and counts as a
// cancel, and the application goes on.
inline constexpr std::chrono::milliseconds kPasswordPromptLimit{std::chrono::minutes{2}};

enum class NarrowingOutcome {
  kNothingToDo,    // no older rule listed, or the setup could not write the rule at all
  kKept,           // the prompt was cancelled, timed out or failed: ask again next start
  kNarrowed,       // the exact rule replaced the older one
  kRuleElsewhere,  // the exact rule is in, but sudo still lists the older one
};

// At a start after a completed setup: when sudo lists the older rule, says so
// once and installs the exact rule through the setup command (one prompt).
// Afterwards the listing is read again; an older rule that is still there
// lives in a file Kestrine does not write, and one alert says where it must be
// removed.
NarrowingOutcome narrowBroadRule(Alerts& alerts, ToolRunner& runner, const SystemTools& tools,
                                 std::string_view userName,
                                 std::chrono::milliseconds listingTimeout);
// The body of that last alert.
std::string ruleElsewhereBody(const SystemTools& tools);

// The welcome alert, the one administrator prompt that installs the sudoers
// rule, and the outcome alert. Alerts go through `alerts` (modal).
void runFirstLaunchSetup(Alerts& alerts, ToolRunner& runner, const SystemTools& tools,
                         std::string_view userName, const SetupHooks& hooks);

}  // namespace kestrine
