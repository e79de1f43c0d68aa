#include "power/first_launch_setup.h"

#include <string>

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
  return std::string(userName) + " ALL=(ALL) NOPASSWD: " + tools.rulePmsetPath +
         " -b lowpowermode *";
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

  // The name goes into a shell command, an AppleScript string and a sudoers
  // rule, none of them quoted for it.
  if (!isSafeUserName(userName)) {
    showOutcome(alerts, kErrorTitle,
                kErrorBodyStart + unsafeUserNameDescription(userName) + kErrorBodyEnd);
    return;
  }

  for (const std::string* path : {&tools.sudoersDirectory, &tools.rulePmsetPath}) {
    if (!isPlainPath(*path)) {
      showOutcome(alerts, kErrorTitle,
                  kErrorBodyStart +
                      ("the path \xE2\x80\x9C" + *path +
                       "\xE2\x80\x9D cannot be written into the setup command.") +
                      kErrorBodyEnd);
      return;
    }
  }

  ToolRequest request;
  request.program = tools.osascript;
  request.arguments = {"-e", setupScript(userName, tools)};
  const ToolResult result = runner.run(request);

  if (!result.started) {
    showOutcome(alerts, kErrorTitle, kErrorBodyStart + result.startError + kErrorBodyEnd);
    return;
  }
  if (result.timedOut || result.exitStatus != 0) {
    showOutcome(alerts, kFailedTitle, kFailedBody);
    return;
  }

  if (hooks.installed) hooks.installed();
  const std::string threshold =
      std::to_string(hooks.currentThreshold ? hooks.currentThreshold() : 0);
  showOutcome(alerts, kCompleteTitle,
              "Kestrine is now configured.\n\nCurrent threshold: " + threshold +
                  "%\nLow Power Mode will activate automatically when\nyour battery reaches " +
                  threshold + "%.\n\nThe app is running in your menu bar.");
}

}  // namespace kestrine
