#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mac_power/system_tools.h"
#include "ports/clock.h"
#include "ports/power_sources.h"
#include "ports/tool_runner.h"
#include "sim/battery_model.h"

namespace kestrine::sim {

// How one of the machine's tools behaves, when a scenario overrides it.
struct ToolOutcome {
  enum class Kind {
    kNormal,     // the tool does its work
    kFailStart,  // the program cannot be started
    kExit,       // it runs and ends with `status` (reports keep their text)
    kHang,       // a report that never ends: killed when the caller's time limit runs out
  };
  Kind kind = Kind::kNormal;
  int status = 0;
};

// The tools a scenario can override, by name.
enum class ToolKey { kBatteryReport, kCustomReport, kSudo, kOsascript };
std::optional<ToolKey> toolKeyFromName(
    std::string_view name);  // "batt", "custom", "sudo", "osascript"

// The simulated Mac behind the ports: its battery (through the power-source
// service and `pmset -g batt`), its Low Power Mode setting (through
// `pmset -g custom` and `pmset -b lowpowermode`), sudo with Kestrine's rule
// (none, exact or broad; `sudo -n -l` lists it), and osascript with the administrator password
// dialog that a scripted user answers. As administrator it runs exactly two commands: the setup's
// own, which installs the rule, and `pmset -b|-c|-a lowpowermode N`; anything else fails, as a rule
// that fails its check does.
class VirtualLaptop final : public ToolRunner, public PowerSources {
 public:
  VirtualLaptop(const Clock& clock, std::string userName, SystemTools tools = macSystemTools());

  // ToolRunner: answers exactly the command lines Kestrine runs on a Mac.
  ToolResult run(const ToolRequest& request) override;
  // PowerSources: one internal battery whose "Current Capacity" is the level.
  std::optional<PowerSourceList> copySources() override;

  // The battery, brought up to the clock's time.
  BatteryModel& battery();
  std::int64_t level() { return battery().level(); }
  bool onBattery() { return !battery().onMains(); }

  // Low Power Mode of the battery profile (what `pmset -b` sets). The AC
  // profile's is only ever set through pmset and shows in the custom report.
  std::int64_t lowPowerMode() const { return batteryLowPowerMode_; }
  void setLowPowerMode(std::int64_t mode) { batteryLowPowerMode_ = mode; }

  // The power-source service gives no reading at all while false.
  void setLevelAvailable(bool available) { levelAvailable_ = available; }

  // Report texts given verbatim; nothing goes back to the rendered ones.
  void setBatteryReportText(std::optional<std::string> text) { battText_ = std::move(text); }
  void setCustomReportText(std::optional<std::string> text) { customText_ = std::move(text); }
  void setToolOutcome(ToolKey key, ToolOutcome outcome) { outcomes_[key] = outcome; }

  // The user at the administrator password dialog: answers are used in order;
  // with none queued the user authorises at once.
  struct PasswordAnswer {
    bool accept = true;
    double seconds = 0.0;  // how long the user takes
  };
  void queuePasswordAnswer(PasswordAnswer answer) { passwordAnswers_.push_back(answer); }

  // Kestrine's sudoers rule: none, the exact one the setup installs, or the
  // broader one of earlier releases, which allowed `pmset -b lowpowermode`
  // followed by anything. The user is an administrator, as a Mac's first user
  // is, so `sudo -l` also lists "(ALL) ALL".
  enum class Rule { kAbsent, kExact, kBroad };
  void setRule(Rule rule) { rule_ = rule; }
  // A broad rule for pmset in another sudoers file, written by hand and merged
  // into a line with another command; Kestrine's setup does not replace it.
  void setBroadRuleElsewhere(bool present) { broadRuleElsewhere_ = present; }
  void installRule() { rule_ = Rule::kExact; }
  Rule rule() const { return rule_; }
  bool ruleInstalled() const { return rule_ != Rule::kAbsent; }

  const SystemTools& tools() const { return tools_; }
  const std::string& userName() const { return userName_; }

  // The login items: Kestrine adds itself once after its setup; the user may
  // remove it again.
  bool registerLoginItem();
  bool inLoginItems() const { return inLoginItems_; }

  // Observers, called as things happen. A password dialog's answer is
  // "accept", "cancel", or "unanswered" when the caller's time limit closed it.
  std::function<void(const ToolRequest&, const ToolResult&)> onToolRun;
  std::function<void(const std::string& prompt, std::string_view answer)> onPasswordDialog;
  std::function<void()> onLoginItemAdded;
  // Time that passes while a tool runs (the user reading the password dialog,
  // a report that hangs until its time limit); the main thread waits meanwhile.
  std::function<void(double seconds)> passTime;

 private:
  ToolResult dispatch(const ToolRequest& request);
  ToolResult runPmset(const std::vector<std::string>& arguments, bool asRoot);
  ToolResult runSudo(const std::vector<std::string>& arguments);
  ToolResult runOsascript(const ToolRequest& request);
  int setSetting(const std::vector<std::string>& arguments);
  bool sudoAllows(const std::vector<std::string>& arguments) const;
  std::string sudoListing() const;
  int runAsAdministrator(const std::string& command);
  ToolOutcome outcome(ToolKey key) const;

  const Clock& clock_;
  std::string userName_;
  SystemTools tools_;
  BatteryModel battery_;
  std::int64_t batteryLowPowerMode_ = 0;
  std::int64_t acLowPowerMode_ = 0;
  bool levelAvailable_ = true;
  std::optional<std::string> battText_;
  std::optional<std::string> customText_;
  std::map<ToolKey, ToolOutcome> outcomes_;
  std::deque<PasswordAnswer> passwordAnswers_;
  Rule rule_ = Rule::kAbsent;
  bool broadRuleElsewhere_ = false;
  bool inLoginItems_ = false;
};

// The pieces of `do shell script "<command>" with administrator privileges
// with prompt "<prompt>"`, with AppleScript's string escapes undone.
struct AdministratorScript {
  std::string command;
  std::string prompt;
};
std::optional<AdministratorScript> parseAdministratorScript(std::string_view script);

// What a backslash escape stands for, in AppleScript strings and in scenario
// report texts alike: \n, \t and \r the control characters, any other the
// character after the backslash itself (\" and \\).
char escapedCharacter(char afterBackslash);

}  // namespace kestrine::sim
