#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "ports/power_sources.h"

namespace kestrine::fake {

// The description an internal laptop battery gives, with this "Current Capacity".
PowerSourceDescription internalBatteryDescription(std::int64_t currentCapacity);

// The power-source service of the virtual laptop: a fixed list of sources, or a
// provider asked at every reading. Starts with one battery at 100 percent.
class ScriptedPowerSources final : public PowerSources {
 public:
  ScriptedPowerSources() { setLevel(100); }

  std::optional<PowerSourceList> copySources() override {
    ++reads_;
    return provider_ ? provider_() : sources_;
  }

  // One internal battery at `level`; absent: the service gives nothing at all.
  void setLevel(std::optional<std::int64_t> level) {
    if (level) {
      sources_ = PowerSourceList{internalBatteryDescription(*level)};
    } else {
      sources_.reset();
    }
  }
  void setSources(std::optional<PowerSourceList> sources) { sources_ = std::move(sources); }
  // Takes precedence over the fixed list while set.
  void setProvider(std::function<std::optional<PowerSourceList>()> provider) {
    provider_ = std::move(provider);
  }

  int reads() const { return reads_; }

 private:
  std::optional<PowerSourceList> sources_;
  std::function<std::optional<PowerSourceList>()> provider_;
  int reads_ = 0;
};

inline PowerSourceDescription internalBatteryDescription(std::int64_t currentCapacity) {
  return PowerSourceDescription{
      {"Current Capacity", PowerSourceValue{currentCapacity}},
      {"Max Capacity", PowerSourceValue{std::int64_t{100}}},
      {"Name", PowerSourceValue{std::string("InternalBattery-0")}},
      {"Type", PowerSourceValue{std::string("InternalBattery")}},
      {"Is Present", PowerSourceValue{true}},
  };
}

}  // namespace kestrine::fake
