#include "platform/fake/calendar.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace kestrine::fake {

namespace {

using std::chrono::days;
using std::chrono::sys_days;

constexpr long long kSecondsPerDay = 86400;
// Seconds from 1970 beyond which no calendar is kept (some 30 million years):
// the readers of scenarios and traces keep their times far inside, and a time
// outside must not overflow a conversion to whole seconds.
constexpr double kCalendarLimit = 1e15;

}  // namespace

WallTime wallTimeFromCivil(int year, unsigned month, unsigned day, int hour, int minute,
                           double second, int utcOffsetSeconds) {
  const sys_days date{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}};
  const double unixSeconds = static_cast<double>(date.time_since_epoch().count()) * 86400.0 +
                             hour * 3600.0 + minute * 60.0 + second - utcOffsetSeconds;
  return unixSeconds - kUnixToReferenceSeconds;
}

int dayOfMonthAt(WallTime time, int utcOffsetSeconds) {
  // Whole local seconds since the Unix epoch, then whole days (rounding down,
  // also before 1970).
  const double local = std::floor(time + kUnixToReferenceSeconds + utcOffsetSeconds);
  if (!(std::fabs(local) < kCalendarLimit)) return 1;
  const auto localSeconds = static_cast<long long>(local);
  long long dayNumber = localSeconds / kSecondsPerDay;
  if (localSeconds % kSecondsPerDay < 0) --dayNumber;
  const sys_days date{days{dayNumber}};
  return static_cast<int>(static_cast<unsigned>(std::chrono::year_month_day{date}.day()));
}

std::string formatUtc(WallTime time, const char* format) {
  const double unixSeconds = std::floor(time + kUnixToReferenceSeconds);
  if (!(std::fabs(unixSeconds) < kCalendarLimit)) return "";
  const auto seconds = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char buffer[64];
  return std::strftime(buffer, sizeof buffer, format, &tm) > 0 ? buffer : "";
}

}  // namespace kestrine::fake
