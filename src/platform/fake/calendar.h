#pragma once

// The civil calendar at a fixed offset from UTC (no daylight saving), for the
// virtual clock and for the simulator's start times and printed dates.

#include <string>

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

}  // namespace kestrine::fake
