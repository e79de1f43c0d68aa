#pragma once

#include "ports/clock.h"

namespace kestrine::linux_desktop {

// The system's wall clock, and the day of the month in the local time zone.
class SystemClock final : public Clock {
 public:
  WallTime now() const override;
  int dayOfMonth(WallTime time) const override;
};

}  // namespace kestrine::linux_desktop
