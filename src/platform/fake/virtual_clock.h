#pragma once

#include <string>

#include "platform/fake/virtual_main_loop.h"
#include "ports/clock.h"

namespace kestrine::fake {

// A point in time from a civil date and time at a fixed offset from UTC
// (seconds east of Greenwich), for setting up a virtual laptop's start time.
WallTime wallTimeFromCivil(int year, unsigned month, unsigned day, int hour = 0, int minute = 0,
                           double second = 0.0, int utcOffsetSeconds = 0);

// The day of the month of `time` at a fixed offset from UTC.
int dayOfMonthAt(WallTime time, int utcOffsetSeconds);

// `time`, floored to the second, in UTC through strftime's `format`.
std::string formatUtc(WallTime time, const char* format);

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
