#include "mac_power/first_launch_setup.h"

#include <string>

#include "mac_power/reports.h"

namespace kestrine {

namespace {

constexpr const char* kWelcomeTitle = "Welcome to Kestrine!";
constexpr const char* kWelcomeBody =
    "Kestrine needs one-time administrator access\n"
    "to automatically control Low Power Mode.\n"
    "\n"
    "You'll be prompted for your password to set this up.\n"
    "After this, the app will work automatically without\n"
    "asking for your password again.\n"
    "\n"
    "Click 'Continue' to proceed with setup.";
constexpr const char* kSetupPrompt =
    "Kestrine needs your password to set up automatic Low Power Mode control.";
constexpr const char* kErrorTitle = "Setup Error";
constexpr const char* kErrorBodyStart = "An error occurred during setup: ";
constexpr const char* kErrorBodyEnd =
    "\n\nThe app will still work but may prompt for\n"
    "your password when enabling Low Power Mode.";
constexpr const char* kFailedTitle = "Setup Failed";
constexpr const char* kFailedBody =
    "Could not complete setup. The app will still work\n"
    "but will prompt for your password each time it\n"
    "needs to enable Low Power Mode.";
constexpr const char* kCompleteTitle = "Setup Complete!";
constexpr const char* kNarrowTitle = "Kestrine Narrows Its Password-Free Rule";
constexpr const char* kNarrowBody =
    "The rule that lets Kestrine switch Low Power Mode without a password\n"
    "also lets any program run pmset as administrator with other settings.\n"
    "\n"
    "Kestrine replaces it with a rule that only switches Low Power Mode\n"
    "on or off. You'll be prompted for your password once.";
constexpr const char* kElsewhereTitle = "Remove the Older Rule by Hand";

bool isAsciiLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string ruleFilePath(const SystemTools& tools) { return tools.sudoersDirectory + "/kestrine"; }

// sudo skips files in its rule directory whose name contains a '.', so a rule
// that is still being written or checked never takes effect.
std::string temporaryRulePath(const SystemTools& tools) { return ruleFilePath(tools) + ".tmp"; }

std::string unsafeUserNameDescription(std::string_view name) {
  if (name.empty()) return "the user name is empty.";
  return "the user name \xE2\x80\x9C" + std::string(name) +
         "\xE2\x80\x9D cannot be written into a sudoers rule; only letters, digits, '.', '_' "
         "and '-' are allowed, it must not begin with '-', and it must not be ALL or another "
         "name in capitals, which sudoers reads as an alias.";
}

// The table's paths also go unquoted into the command; a configured prefix
// with a blank or a quote in it must not turn into a different command.
bool isPlainPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  for (char c : path) {
    if (!isAsciiLetterOrDigit(c) && c != '/' && c != '.' && c != '_' && c != '-' && c != '+') {
      return false;
    }
  }
  return true;
}

void showOutcome(Alerts& alerts, std::string title, std::string body) {
  alerts.runModal(Alert{std::move(title), std::move(body), {}, /*bringToFront=*/true});
}

struct RuleInstallation {
  std::optional<std::string> error;  // why nothing ran: the name, a path, or the start failed
  bool installed = false;            // the command ran behind the prompt and ended with 0
};

// Why the setup command cannot be built for this user and these paths. The
// user name and the table's paths go into a shell command, an AppleScript
// string and a sudoers rule, none of them quoted for it, so anything unsafe
// runs nothing.
std::optional<std::string> whyRuleCannotBeWritten(std::string_view userName,
                                                  const SystemTools& tools) {
  if (!isSafeUserName(userName)) return unsafeUserNameDescription(userName);
  for (const std::string* path : {&tools.sudoersDirectory, &tools.rulePmsetPath}) {
    if (!isPlainPath(*path)) {
      return "the path \xE2\x80\x9C" + *path +
             "\xE2\x80\x9D cannot be written into the setup command.";
    }
  }
  return std::nullopt;
}

// The setup command behind the administrator prompt. A prompt nobody answers
// within the limit is closed and counts as a cancel.
RuleInstallation installRule(ToolRunner& runner, const SystemTools& tools,
                             std::string_view userName) {
  if (auto why = whyRuleCannotBeWritten(userName, tools)) return {std::move(why)};
  ToolRequest request;
  request.program = tools.osascript;
  request.arguments = {"-e", setupScript(userName, tools)};
  request.timeout = kPasswordPromptLimit;
  const ToolResult result = runner.run(request);
  if (!result.started) return {result.startError};
  return {std::nullopt, !result.timedOut && result.exitStatus == 0};
}

// Whether `sudo -n -l` lists the older rule now.
bool listsBroadRule(ToolRunner& runner, const SystemTools& tools,
                    std::chrono::milliseconds listingTimeout) {
  // "sudo -l" asks whether a command is allowed, not whether it is allowed
  // without a password, and an administrator's "(ALL) ALL" allows everything;
  // so the listing is read for the older rule itself. `-n`: with no rule that
  // needs no password, sudo fails at once instead of asking for one.
  ToolRequest request;
  request.program = tools.sudo;
  request.arguments = {"-n", "-l"};
  request.captureOutput = true;
  request.timeout = listingTimeout;
  return ruleNeedsNarrowing(runner.run(request), tools);
}

}  // namespace

bool isSafeUserName(std::string_view name) {
  if (name.empty() || name.front() == '-') return false;
  for (char c : name) {
    if (!isAsciiLetterOrDigit(c) && c != '.' && c != '_' && c != '-') return false;
  }
  // sudoers reads a capital letter followed by capitals, digits and '_' as an
  // alias (ALL among them), which would name users other than this one.
  const bool readAsAlias =
      name.front() >= 'A' && name.front() <= 'Z' &&
      name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string_view::npos;
  return !readAsAlias;
}

std::string setupRuleLine(std::string_view userName, const SystemTools& tools) {
  // One command per value the setting takes, and no wildcard: in sudoers a '*'
  // among the arguments also matches further arguments, so "lowpowermode *"
  // let any program of the user run pmset as root with any settings after it.
  const std::string command = tools.rulePmsetPath + " -b lowpowermode ";
  return std::string(userName) + " ALL=(root) NOPASSWD: " + command + "0, " + command + "1";
}

std::string setupShellCommand(std::string_view userName, const SystemTools& tools) {
  const std::string rule = ruleFilePath(tools);
  const std::string temp = temporaryRulePath(tools);
  // The rule reaches its real name only after visudo accepted it: a broken file
  // in the rule directory would break sudo for the whole machine. The command
  // holds no double quote and no backslash, so it sits unchanged inside the
  // AppleScript string.
  return "mkdir -p " + tools.sudoersDirectory + " && echo '" + setupRuleLine(userName, tools) +
         "' > " + temp + " && chmod 0440 " + temp + " && visudo -c -f " + temp + " && mv -f " +
         temp + " " + rule + " || { rm -f " + temp + "; false; }";
}

std::string setupScript(std::string_view userName, const SystemTools& tools) {
  return "do shell script \"" + setupShellCommand(userName, tools) +
         "\" with administrator privileges with prompt \"" + kSetupPrompt + "\"";
}

void runFirstLaunchSetup(Alerts& alerts, ToolRunner& runner, const SystemTools& tools,
                         std::string_view userName, const SetupHooks& hooks) {
  const int answer = alerts.runModal(
      Alert{kWelcomeTitle, kWelcomeBody, {"Continue", "Quit"}, /*bringToFront=*/true});
  if (answer == kAlertSecondButton) {
    if (hooks.quit) hooks.quit();
    return;
  }

  const RuleInstallation install = installRule(runner, tools, userName);
  if (install.error) {
    showOutcome(alerts, kErrorTitle, kErrorBodyStart + *install.error + kErrorBodyEnd);
    return;
  }
  if (!install.installed) {
    showOutcome(alerts, kFailedTitle, kFailedBody);
    return;
  }

  if (hooks.installed) hooks.installed();
  showOutcome(alerts, kCompleteTitle,
              "Kestrine is now configured.\n\n" +
                  (hooks.thresholdRule ? hooks.thresholdRule() : "") +
                  "\n\nThe app is running in your menu bar.");
}

bool ruleNeedsNarrowing(const ToolResult& listing, const SystemTools& tools) {
  return listing.started && !listing.timedOut && listing.exitStatus == 0 &&
         sudoListingShowsBroadRule(listing.output, tools.rulePmsetPath);
}

NarrowingOutcome narrowBroadRule(Alerts& alerts, ToolRunner& runner, const SystemTools& tools,
                                 std::string_view userName,
                                 std::chrono::milliseconds listingTimeout) {
  // The setup would refuse this name or these paths: no alert that promises
  // a prompt that never comes.
  if (whyRuleCannotBeWritten(userName, tools)) return NarrowingOutcome::kNothingToDo;
  if (!listsBroadRule(runner, tools, listingTimeout)) return NarrowingOutcome::kNothingToDo;
  alerts.runModal(Alert{kNarrowTitle, kNarrowBody, {}, /*bringToFront=*/true});
  // A cancel or a failed step leaves the older rule, which still switches.
  if (!installRule(runner, tools, userName).installed) return NarrowingOutcome::kKept;
  // The rule file is replaced, yet sudo may still find the older rule in
  // another file (a hand-made one, or the main sudoers file), which Kestrine
  // cannot read without a password. Said once; asking again would not help.
  if (!listsBroadRule(runner, tools, listingTimeout)) return NarrowingOutcome::kNarrowed;
  alerts.runModal(Alert{kElsewhereTitle, ruleElsewhereBody(tools), {}, /*bringToFront=*/true});
  return NarrowingOutcome::kRuleElsewhere;
}

std::string ruleElsewhereBody(const SystemTools& tools) {
  return "Kestrine installed its narrower rule, but sudo still lets any program\n"
         "run pmset as administrator with other settings, through a rule in\n"
         "another file than " +
         ruleFilePath(tools) +
         ".\n"
         "\n"
         "Remove the entry \xE2\x80\x9CNOPASSWD: " +
         tools.rulePmsetPath +
         " -b lowpowermode *\xE2\x80\x9D\n"
         "from /etc/sudoers or from its file in " +
         tools.sudoersDirectory +
         ",\n"
         "with \xE2\x80\x9Csudo visudo\xE2\x80\x9D (\xE2\x80\x9Csudo visudo -f FILE\xE2\x80\x9D "
         "for another file).\n"
         "\n"
         "Kestrine will not ask about it again.";
}

}  // namespace kestrine
