#include "sim/virtual_laptop.h"

#include <algorithm>
#include <utility>

#include "mac_power/first_launch_setup.h"
#include "sim/pmset_reports.h"

namespace kestrine::sim {

namespace {

// What the process facility says when a program is not there.
std::string missingProgram(const std::string& program) {
  const auto slash = program.rfind('/');
  const std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
  return "The file \xE2\x80\x9C" + name + "\xE2\x80\x9D doesn\xE2\x80\x99t exist.";
}

ToolResult exited(int status, std::string output = {}) {
  ToolResult result;
  result.started = true;
  result.exitStatus = status;
  result.output = std::move(output);
  return result;
}

ToolResult notStarted(const std::string& program) {
  ToolResult result;
  result.started = false;
  result.startError = missingProgram(program);
  return result;
}

// Reads one AppleScript string literal starting at `pos` (just after its
// opening quote); leaves `pos` after the closing quote.
std::optional<std::string> appleScriptString(std::string_view s, std::size_t& pos) {
  std::string out;
  while (pos < s.size()) {
    const char c = s[pos++];
    if (c == '"') return out;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= s.size()) return std::nullopt;
    out += escapedCharacter(s[pos++]);
  }
  return std::nullopt;
}

bool consume(std::string_view s, std::size_t& pos, std::string_view expected) {
  if (s.substr(pos, expected.size()) != expected) return false;
  pos += expected.size();
  return true;
}

}  // namespace

char escapedCharacter(char afterBackslash) {
  switch (afterBackslash) {
    case 'n':
      return '\n';
    case 't':
      return '\t';
    case 'r':
      return '\r';
    default:
      return afterBackslash;
  }
}

std::optional<ToolKey> toolKeyFromName(std::string_view name) {
  if (name == "batt") return ToolKey::kBatteryReport;
  if (name == "custom") return ToolKey::kCustomReport;
  if (name == "sudo") return ToolKey::kSudo;
  if (name == "osascript") return ToolKey::kOsascript;
  return std::nullopt;
}

std::optional<AdministratorScript> parseAdministratorScript(std::string_view script) {
  std::size_t pos = 0;
  AdministratorScript parsed;
  if (!consume(script, pos, "do shell script \"")) return std::nullopt;
  auto command = appleScriptString(script, pos);
  if (!command) return std::nullopt;
  parsed.command = std::move(*command);
  if (!consume(script, pos, " with administrator privileges")) return std::nullopt;
  if (consume(script, pos, " with prompt \"")) {
    auto prompt = appleScriptString(script, pos);
    if (!prompt) return std::nullopt;
    parsed.prompt = std::move(*prompt);
  }
  if (pos != script.size()) return std::nullopt;
  return parsed;
}

VirtualLaptop::VirtualLaptop(const Clock& clock, std::string userName, SystemTools tools)
    : clock_(clock), userName_(std::move(userName)), tools_(std::move(tools)) {
  battery_.advanceTo(clock_.now());
}

BatteryModel& VirtualLaptop::battery() {
  battery_.advanceTo(clock_.now());
  return battery_;
}

ToolOutcome VirtualLaptop::outcome(ToolKey key) const {
  const auto it = outcomes_.find(key);
  return it == outcomes_.end() ? ToolOutcome{} : it->second;
}

std::optional<PowerSourceList> VirtualLaptop::copySources() {
  if (!levelAvailable_) return std::nullopt;
  BatteryModel& b = battery();
  PowerSourceDescription description{
      {"Current Capacity", b.level()},
      {"Max Capacity", std::int64_t{100}},
      {"Is Charging", b.charging()},
      {"Is Present", true},
      {"Name", std::string("InternalBattery-0")},
      {"Power Source State", std::string(b.onMains() ? "AC Power" : "Battery Power")},
      {"Type", std::string("InternalBattery")},
  };
  return PowerSourceList{description};
}

ToolResult VirtualLaptop::run(const ToolRequest& request) {
  ToolResult result = dispatch(request);
  if (!request.captureOutput) result.output.clear();
  if (onToolRun) onToolRun(request, result);
  return result;
}

ToolResult VirtualLaptop::dispatch(const ToolRequest& request) {
  if (request.program == tools_.pmset) return runPmset(request.arguments, false);
  if (request.program == tools_.sudo) return runSudo(request.arguments);
  if (request.program == tools_.osascript) return runOsascript(request);
  return notStarted(request.program);
}

ToolResult VirtualLaptop::runPmset(const std::vector<std::string>& args, bool asRoot) {
  if (args.size() == 2 && args[0] == "-g" && (args[1] == "batt" || args[1] == "custom")) {
    const bool batt = args[1] == "batt";
    const ToolOutcome o = outcome(batt ? ToolKey::kBatteryReport : ToolKey::kCustomReport);
    if (o.kind == ToolOutcome::Kind::kFailStart) return notStarted(tools_.pmset);
    if (o.kind == ToolOutcome::Kind::kHang) {
      // Killed when the caller's time limit runs out (it always sets one for reports).
      if (passTime) passTime(10.0);
      ToolResult result;
      result.started = true;
      result.timedOut = true;
      result.exitStatus = 128 + 9;
      return result;
    }
    std::string text;
    if (batt) {
      if (battText_) {
        text = *battText_;
      } else {
        BatteryModel& b = battery();
        BatteryReportInfo info;
        info.onBattery = !b.onMains();
        info.percent = b.level();
        info.state = !b.onMains()       ? BatteryReportInfo::State::kDischarging
                     : b.level() >= 100 ? BatteryReportInfo::State::kCharged
                                        : BatteryReportInfo::State::kCharging;
        info.minutesRemaining = b.minutesRemaining();
        text = renderBatteryReport(info);
      }
    } else {
      text = customText_ ? *customText_ : renderCustomReport(batteryLowPowerMode_, acLowPowerMode_);
    }
    return exited(o.kind == ToolOutcome::Kind::kExit ? o.status : 0, std::move(text));
  }
  if (!asRoot) return exited(1);  // changing a setting needs root
  return exited(setSetting(args));
}

int VirtualLaptop::setSetting(const std::vector<std::string>& args) {
  if (args.size() != 3 || args[1] != "lowpowermode") return 1;
  if (args[2] != "0" && args[2] != "1") return 1;
  const std::int64_t value = args[2] == "1" ? 1 : 0;
  if (args[0] == "-b" || args[0] == "-a") batteryLowPowerMode_ = value;
  if (args[0] == "-c" || args[0] == "-a") acLowPowerMode_ = value;
  return args[0] == "-b" || args[0] == "-c" || args[0] == "-a" ? 0 : 1;
}

bool VirtualLaptop::registerLoginItem() {
  inLoginItems_ = true;
  if (onLoginItemAdded) onLoginItemAdded();
  return true;
}

bool VirtualLaptop::sudoAllows(const std::vector<std::string>& args) const {
  const bool broad = rule_ == Rule::kBroad || broadRuleElsewhere_;
  if ((rule_ == Rule::kAbsent && !broad) || args.size() < 5 || args[0] != "-n" ||
      args[1] != tools_.rulePmsetPath || args[2] != "-b" || args[3] != "lowpowermode") {
    return false;
  }
  // The broad rule's '*' also matches further arguments; the exact rule names two commands.
  return broad || (args.size() == 5 && (args[4] == "0" || args[4] == "1"));
}

// As sudo 1.9 lists it (the Defaults part left out), entries indented by 4.
std::string VirtualLaptop::sudoListing() const {
  const std::string pmset = tools_.rulePmsetPath + " -b lowpowermode ";
  std::string listing =
      "User " + userName_ + " may run the following commands on this host:\n    (ALL) ALL\n";
  if (rule_ == Rule::kBroad) listing += "    (ALL) NOPASSWD: " + pmset + "*\n";
  if (rule_ == Rule::kExact) listing += "    (root) NOPASSWD: " + pmset + "0, " + pmset + "1\n";
  if (broadRuleElsewhere_) {
    listing += "    (ALL) NOPASSWD: /usr/local/sbin/nightly-backup, " + pmset + "*\n";
  }
  return listing;
}

int VirtualLaptop::runAsAdministrator(const std::string& command) {
  if (command == setupShellCommand(userName_, tools_)) {
    installRule();
    return 0;
  }
  std::vector<std::string> words;
  for (std::size_t start = 0; start <= command.size();) {
    const auto space = std::min(command.find(' ', start), command.size());
    words.emplace_back(command.substr(start, space - start));
    start = space + 1;
  }
  if (words.size() == 4 && words[0] == "pmset") return setSetting({words.begin() + 1, words.end()});
  return 1;
}

ToolResult VirtualLaptop::runSudo(const std::vector<std::string>& args) {
  const ToolOutcome o = outcome(ToolKey::kSudo);
  if (o.kind == ToolOutcome::Kind::kFailStart) return notStarted(tools_.sudo);
  if (o.kind == ToolOutcome::Kind::kExit) return exited(o.status);
  // Without a rule, `-n` makes sudo give up at once rather than ask for a password;
  // listing too needs one unless some rule of the user needs none.
  if (args == std::vector<std::string>{"-n", "-l"} && (ruleInstalled() || broadRuleElsewhere_)) {
    return exited(0, sudoListing());
  }
  if (!sudoAllows(args)) return exited(1);
  return exited(setSetting({args.begin() + 2, args.end()}));
}

ToolResult VirtualLaptop::runOsascript(const ToolRequest& request) {
  const std::vector<std::string>& args = request.arguments;
  const ToolOutcome o = outcome(ToolKey::kOsascript);
  if (o.kind == ToolOutcome::Kind::kFailStart) return notStarted(tools_.osascript);
  if (o.kind == ToolOutcome::Kind::kExit) return exited(o.status);
  if (args.size() != 2 || args[0] != "-e") return exited(1);
  const auto script = parseAdministratorScript(args[1]);
  if (!script) return exited(1);  // a script this machine does not know: a syntax error

  PasswordAnswer answer;
  if (!passwordAnswers_.empty()) {
    answer = passwordAnswers_.front();
    passwordAnswers_.pop_front();
  }
  // The caller kills osascript when its limit runs out, which closes the dialog.
  if (request.timeout && answer.seconds * 1000.0 > static_cast<double>(request.timeout->count())) {
    if (passTime) passTime(static_cast<double>(request.timeout->count()) / 1000.0);
    if (onPasswordDialog) onPasswordDialog(script->prompt, "unanswered");
    ToolResult result;
    result.started = true;
    result.timedOut = true;
    result.exitStatus = 128 + 9;
    return result;
  }
  if (passTime && answer.seconds > 0) passTime(answer.seconds);
  if (onPasswordDialog) onPasswordDialog(script->prompt, answer.accept ? "accept" : "cancel");
  if (!answer.accept) return exited(1);  // "User canceled." (-128)

  // A failing command makes the script fail, and osascript exit 1.
  return exited(runAsAdministrator(script->command) == 0 ? 0 : 1);
}

}  // namespace kestrine::sim
