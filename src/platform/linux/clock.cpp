#include "platform/linux/clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace kestrine::linux_desktop {

WallTime SystemClock::now() const {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration<double>(sinceEpoch).count() - kUnixToReferenceSeconds;
}

int SystemClock::dayOfMonth(WallTime time) const {
  const auto unixSeconds = static_cast<std::time_t>(std::floor(time + kUnixToReferenceSeconds));
  std::tm local{};
  if (localtime_r(&unixSeconds, &local) == nullptr) return 1;
  return local.tm_mday;
}

}  // namespace kestrine::linux_desktop
