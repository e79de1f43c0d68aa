#include "tools/pmset_logic.h"

#include <cstdio>

namespace kestrine::tools {

using linux_desktop::UPowerDevice;

bool runsWithBorrowedPrivileges(const Invocation& invocation) {
  return invocation.privilegeToolMark || invocation.secureExecution ||
         invocation.realUid != invocation.effectiveUid ||
         invocation.realGid != invocation.effectiveGid;
}

std::optional<std::string> systemBusAddressToKeep(bool borrowed, const char* value) {
  if (borrowed || value == nullptr) return std::nullopt;
  const std::string_view address = value;
  if (address.substr(0, 5) != "unix:" || address.find(';') != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(address);
}

PmsetParse parsePmsetArguments(const std::vector<std::string>& arguments, bool privileged) {
  const auto refuse = [](std::string reason) {
    return PmsetParse{std::nullopt, std::move(reason)};
  };
  if (arguments.size() == 3 && arguments[0] == "-b" && arguments[1] == "lowpowermode") {
    const std::string& value = arguments[2];
    if (value == "0" || value == "1" || value == "2") {
      return PmsetParse{PmsetCommand{PmsetAction::SetLowPowerMode, value[0] - '0'}, {}};
    }
    return refuse("lowpowermode takes 0, 1 or 2, not \"" + value + "\"");
  }
  if (privileged) {
    return refuse("with administrator rights only \"-b lowpowermode 0|1|2\" is accepted");
  }
  if (arguments.size() == 2 && arguments[0] == "-g") {
    if (arguments[1] == "batt") return PmsetParse{PmsetCommand{PmsetAction::BatteryReport, 0}, {}};
    if (arguments[1] == "custom") return PmsetParse{PmsetCommand{PmsetAction::CustomReport, 0}, {}};
  }
  return refuse("usage: pmset -g batt | pmset -g custom | pmset -b lowpowermode 0|1|2");
}

std::optional<std::string> profileForMode(int mode) {
  switch (mode) {
    case 0:
      return "balanced";
    case 1:
      return "power-saver";
    case 2:
      return "performance";
    default:
      return std::nullopt;
  }
}

std::optional<int> modeForProfile(std::string_view profile) {
  if (profile == "balanced") return 0;
  if (profile == "power-saver") return 1;
  if (profile == "performance") return 2;
  return std::nullopt;
}

namespace {

std::string clockTime(std::int64_t seconds) {
  const std::int64_t minutes = seconds / 60;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes / 60),
                static_cast<long long>(minutes % 60));
  return text;
}

// The state and estimate part of a battery line, in pmset's words.
std::string stateText(const UPowerDevice& device, bool onBattery) {
  switch (device.state) {
    case 1:  // charging
      return "charging; " + (device.timeToFull > 0 ? clockTime(device.timeToFull) + " remaining"
                                                   : std::string("(no estimate)"));
    case 2:  // discharging
    case 3:  // empty
    case 6:  // pending discharge
      return "discharging; " + (device.timeToEmpty > 0
                                    ? clockTime(device.timeToEmpty) + " remaining"
                                    : std::string("(no estimate)"));
    case 4:  // fully charged
      return "charged; 0:00 remaining";
    case 5:  // pending charge
      return "AC attached; not charging";
    default:
      return onBattery ? "discharging; (no estimate)" : "AC attached; not charging";
  }
}

}  // namespace

std::string formatBatteryReport(bool onBattery, const std::vector<UPowerDevice>& devices) {
  std::string report =
      onBattery ? "Now drawing from 'Battery Power'\n" : "Now drawing from 'AC Power'\n";
  int batteries = 0;
  int upses = 0;
  int id = 0;
  for (const UPowerDevice& device : devices) {
    if (!linux_desktop::powersTheSystem(device)) continue;
    ++id;
    const std::string name = device.type == linux_desktop::kUPowerTypeUps
                                 ? "UPS-" + std::to_string(upses++)
                                 : "InternalBattery-" + std::to_string(batteries++);
    report += " -" + name + " (id=" + std::to_string(id) + ")\t" +
              std::to_string(linux_desktop::wholePercent(device.percentage)) + "%; " +
              stateText(device, onBattery) + " present: " + (device.isPresent ? "true" : "false") +
              "\n";
  }
  return report;
}

std::string formatCustomReport(int mode) {
  const std::string line = " lowpowermode         " + std::to_string(mode) + "\n";
  return "Battery Power:\n" + line + "AC Power:\n" + line;
}

}  // namespace kestrine::tools
