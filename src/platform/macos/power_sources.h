#pragma once

#include <optional>

#include "ports/power_sources.h"

namespace kestrine::macos {

// The power sources as IOKit's power-source service lists them.
class MacPowerSources final : public PowerSources {
 public:
  std::optional<PowerSourceList> copySources() override;
};

}  // namespace kestrine::macos
