#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kestrine {

// One value of a power source's description, as the power-source service types it.
using PowerSourceValue = std::variant<std::int64_t, double, bool, std::string>;

// A source's description: text keys to values ("Current Capacity" -> 57, ...).
using PowerSourceDescription = std::map<std::string, PowerSourceValue>;

// The sources in the service's order. An element is absent where the service
// gave no usable description for that source.
using PowerSourceList = std::vector<std::optional<PowerSourceDescription>>;

class PowerSources {
 public:
  virtual ~PowerSources() = default;
  // A fresh reading of every power source; absent when the service gives none.
  virtual std::optional<PowerSourceList> copySources() = 0;
};

}  // namespace kestrine
