#pragma once

#include "platform/fake/calendar.h"
#include "platform/fake/virtual_main_loop.h"
#include "ports/clock.h"

namespace kestrine::fake {

// The clock of the virtual laptop: it reads the virtual main loop's time, and
// its calendar sits at a fixed offset from UTC (no daylight saving).
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(const VirtualMainLoop& loop, int utcOffsetSeconds = 0)
      : loop_(loop), utcOffsetSeconds_(utcOffsetSeconds) {}

  WallTime now() const override { return loop_.now(); }
  int dayOfMonth(WallTime time) const override { return dayOfMonthAt(time, utcOffsetSeconds_); }

  int utcOffsetSeconds() const { return utcOffsetSeconds_; }

 private:
  const VirtualMainLoop& loop_;
  int utcOffsetSeconds_;
};

}  // namespace kestrine::fake
