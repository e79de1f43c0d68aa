#include "sim/pmset_reports.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace kestrine::sim {

namespace {

using Setting = std::pair<std::string_view, std::string_view>;

// Appends one profile: the header, then each setting. Rendered at every
// check, so written straight into the text.
void appendProfile(std::string& text, std::string_view header,
                   std::initializer_list<Setting> settings) {
  text += header;
  text += ":\n";
  for (const auto& [name, value] : settings) {
    // pmset pads names to 20 columns and always follows them with one blank.
    text += ' ';
    text += name;
    if (name.size() < 20) text.append(20 - name.size(), ' ');
    text += ' ';
    text += value;
    text += '\n';
  }
}

}  // namespace

std::string formatRemaining(std::int64_t minutes) {
  if (minutes < 0) minutes = 0;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld:%02lld", static_cast<long long>(minutes / 60),
                static_cast<long long>(minutes % 60));
  return buffer;
}

std::string renderBatteryReport(const BatteryReportInfo& info) {
  std::string text = "Now drawing from '";
  text += info.onBattery ? "Battery Power" : "AC Power";
  text += "'\n";
  if (!info.hasBattery) return text;

  text += " -InternalBattery-0 (id=" + std::to_string(info.id) + ")\t";
  text += std::to_string(info.percent) + "%; ";
  bool timed = true;
  switch (info.state) {
    case BatteryReportInfo::State::kDischarging:
      text += "discharging";
      break;
    case BatteryReportInfo::State::kCharging:
      text += "charging";
      break;
    case BatteryReportInfo::State::kCharged:
      text += "charged";
      break;
    case BatteryReportInfo::State::kAcAttachedNotCharging:
      text += "AC attached; not charging";
      timed = false;  // pmset prints no time after this state
      break;
  }
  if (timed) {
    text += info.minutesRemaining ? "; " + formatRemaining(*info.minutesRemaining) + " remaining"
                                  : std::string("; (no estimate)");
  }
  text += " present: true\n";
  return text;
}

std::string renderCustomReport(std::int64_t batteryLowPowerMode, std::int64_t acLowPowerMode) {
  // The other settings are those of a typical laptop; Kestrine reads none of them.
  const std::string batteryMode = std::to_string(batteryLowPowerMode);
  const std::string acMode = std::to_string(acLowPowerMode);
  std::string text;
  text.reserve(1024);
  appendProfile(text, "Battery Power",
                {{"Sleep On Power Button", "1"},
                 {"lowpowermode", batteryMode},
                 {"standby", "1"},
                 {"ttyskeepawake", "1"},
                 {"hibernatemode", "3"},
                 {"powernap", "1"},
                 {"hibernatefile", "/var/vm/sleepimage"},
                 {"displaysleep", "2"},
                 {"womp", "0"},
                 {"networkoversleep", "0"},
                 {"sleep", "1"},
                 {"lessbright", "1"},
                 {"tcpkeepalive", "1"},
                 {"disksleep", "10"}});
  appendProfile(text, "AC Power",
                {{"Sleep On Power Button", "1"},
                 {"lowpowermode", acMode},
                 {"standby", "1"},
                 {"ttyskeepawake", "1"},
                 {"hibernatemode", "3"},
                 {"powernap", "1"},
                 {"hibernatefile", "/var/vm/sleepimage"},
                 {"displaysleep", "10"},
                 {"womp", "1"},
                 {"networkoversleep", "0"},
                 {"sleep", "1"},
                 {"tcpkeepalive", "1"},
                 {"disksleep", "10"}});
  return text;
}

}  // namespace kestrine::sim
