#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/power.h"
#include "ports/wording.h"

namespace kestrine {

// The status item's title is one of these emoji, alone. Each is a single code
// point without a variation selector.
inline constexpr std::string_view kIconLowPowerMode = "\U0001F4A4";   // 💤
inline constexpr std::string_view kIconExternalPower = "\U0001F50C";  // 🔌
inline constexpr std::string_view kIconLowBattery = "\U0001FAAB";     // 🪫
inline constexpr std::string_view kIconOnBattery = "\U0001F50B";      // 🔋
inline constexpr std::string_view kIconAtThreshold = "\u26A1";        // ⚡

// Below this level the battery counts as low for the icon, whatever the threshold.
inline constexpr std::int64_t kLowBatteryIconBound = 21;

// The icon for the last stored battery level, the live power source and power
// mode, and the threshold. The first matching rule wins: Low Power Mode on,
// external power, low battery, above the threshold, at or below the threshold.
std::string_view chooseStatusIcon(std::int64_t lastBatteryLevel, bool onBattery,
                                  std::optional<PowerMode> powerMode, std::int64_t threshold);

// What an icon above means, in the wording's words, for screen readers:
// "Kestrine: low battery". Any other title is named by the application alone.
std::string iconMeaning(std::string_view icon, const Wording& wording = {});

}  // namespace kestrine
