#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ports/power_sources.h"

namespace kestrine::macos {

// A value of a power-source description that is none of the kinds below
// (a date, an array, a nested dictionary, a number too wide to hold).
struct OtherValue {
  bool operator==(const OtherValue&) const = default;
};

// One value of a power source's description, tagged by the kind the
// power-source service gave it: a whole number (a number of an integer type),
// a fraction (a number of a floating type), text, a Boolean, or anything else.
using RawPowerSourceValue = std::variant<std::int64_t, double, std::string, bool, OtherValue>;

struct RawPowerSourceEntry {
  std::optional<std::string> key;  // absent when the key is not text
  RawPowerSourceValue value;
};

// A source's description as the service handed it over; absent when the service
// gave none for that source, or gave something other than a dictionary.
using RawPowerSourceDescription = std::optional<std::vector<RawPowerSourceEntry>>;

// A description the core can read: absent unless every key is text. Values
// of another kind are left out, so a "Current Capacity" that is not a number
// of the service's own integer or floating kinds reads as missing.
std::optional<PowerSourceDescription> toPowerSourceDescription(
    const RawPowerSourceDescription& raw);

// Every source, in the service's order.
PowerSourceList toPowerSourceList(const std::vector<RawPowerSourceDescription>& raw);

}  // namespace kestrine::macos
