#pragma once

namespace kestrine {

// A point in wall-clock time, in seconds since 2001-01-01 00:00:00 UTC.
// The learning data file stores exactly this double, so keeping it as the
// in-memory form makes the round trip exact by construction.
using WallTime = double;

// Seconds from the Unix epoch (1970-01-01 UTC) to the reference date above.
inline constexpr double kUnixToReferenceSeconds = 978307200.0;

class Clock {
 public:
  virtual ~Clock() = default;
  // The current time, with sub-second precision.
  virtual WallTime now() const = 0;
  // The day of the month (1 to 31) of `time` in the user's calendar and time zone.
  virtual int dayOfMonth(WallTime time) const = 0;
};

}  // namespace kestrine
