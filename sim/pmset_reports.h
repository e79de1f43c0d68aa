#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrine::sim {

// What the virtual laptop's battery report says about its one internal battery.
struct BatteryReportInfo {
  enum class State { kDischarging, kCharging, kCharged, kAcAttachedNotCharging };

  bool onBattery = true;
  bool hasBattery = true;  // false: a desktop, the header line alone
  std::int64_t percent = 100;
  State state = State::kDischarging;
  std::optional<std::int64_t> minutesRemaining;  // absent: "(no estimate)"
  long long id = 5374051;
};

// "H:MM": hours unpadded, minutes zero-padded to two digits, as pmset prints them.
std::string formatRemaining(std::int64_t minutes);

// The output of `pmset -g batt` in the layout of current macOS releases:
//   Now drawing from 'Battery Power'
//    -InternalBattery-0 (id=5374051)<TAB>95%; discharging; 3:06 remaining present: true
std::string renderBatteryReport(const BatteryReportInfo& info);

// The output of `pmset -g custom`: a "Battery Power:" and an "AC Power:" profile,
// each setting printed as " %-20s " and its value, with the Low Power Mode
// setting under the name "lowpowermode".
std::string renderCustomReport(std::int64_t batteryLowPowerMode, std::int64_t acLowPowerMode);

}  // namespace kestrine::sim
