#pragma once

// The steady-state learning record: 30 days of samples, one every 30 seconds.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ports/clock.h"
#include "ports/console.h"
#include "prediction/prediction_data.h"
#include "storage/temporary_folder.h"

namespace kestrine::bench {

inline constexpr WallTime kBenchNow = 800'000'000.123;

// Samples every 30 seconds ending at `now`, discharging and charging in
// stretches as a real laptop would, with sub-second timestamps.
inline PredictionData steadyStateRecord(std::int64_t count, WallTime now = kBenchNow) {
  PredictionData data;
  data.snapshots.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const WallTime timestamp = now - 30.0 * static_cast<double>(count - 1 - i) + 0.001 * (i % 997);
    const bool charging = (i / 240) % 3 == 2;  // two hours on battery, one on power
    const std::int64_t percent = charging ? 40 + (i % 240) / 4 : 100 - (i % 480) / 8;
    data.snapshots.push_back({timestamp, percent, charging, 0.5F});
  }
  data.daysCollected = 30;
  return data;
}

// The real time, as the application's clock gives it: what a file must be
// dated by for the application to keep its samples.
inline WallTime wallNow() {
  const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration<double>(since1970).count() - kUnixToReferenceSeconds;
}

class WallClock : public Clock {
 public:
  WallTime now() const override { return wallNow(); }
  int dayOfMonth(WallTime) const override { return 1; }
};

class SteppingClock : public Clock {
 public:
  explicit SteppingClock(WallTime start) : time(start) {}
  WallTime now() const override { return time; }
  int dayOfMonth(WallTime) const override { return 1; }
  WallTime time;
};

// Counts the failure lines and passes them on to standard error.
class CountingConsole : public Console {
 public:
  void printLine(std::string_view line) override {
    ++lines;
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
  int lines = 0;
};

// A fresh directory under the system's temporary directory, removed at the end.
class ScratchHome {
 public:
  ScratchHome() {
    if (folder_.path().empty()) std::abort();
  }
  const std::filesystem::path& path() const { return folder_.path(); }

 private:
  TemporaryFolder folder_{"kestrine-bench"};
};

}  // namespace kestrine::bench
