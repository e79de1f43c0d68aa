#pragma once

#include "ports/clock.h"

namespace kestrine::macos {

// NSDate's clock, whose reference date is the one WallTime counts from, and the
// user's current calendar and time zone for the day of the month.
class MacClock final : public Clock {
 public:
  WallTime now() const override;
  int dayOfMonth(WallTime time) const override;
};

}  // namespace kestrine::macos
