#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ports/power_sources.h"

namespace kestrine {

// Pure readings of what the system reports, kept apart from running the tools
// so that they can be checked on stored texts.

// The first source, in the service's order, whose "Current Capacity" is a whole number.
std::optional<std::int64_t> batteryLevelFromSources(const std::optional<PowerSourceList>& sources);

// True exactly when the `pmset -g batt` output is valid UTF-8 and contains "Battery Power".
bool batteryReportSaysOnBattery(std::string_view reportBytes);

// The lowpowermode (or powermode) value of the battery section of `pmset -g custom`.
std::optional<std::int64_t> powerModeFromCustomReport(std::string_view reportBytes);

// True when `sudo -l` lists the older, broader rule of the setup for this pmset
// ("<pmsetPath> -b lowpowermode *" without a password) as any command of an
// entry, also where sudo wrapped the entry.
bool sudoListingShowsBroadRule(std::string_view listing, std::string_view pmsetPath);

// Strict decimal: optional sign, one or more digits, fits in 64 bits.
std::optional<std::int64_t> parseDecimalInt64(std::string_view text);

}  // namespace kestrine
