#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/clock.h"

namespace kestrine {

// One battery sample.
struct BatterySnapshot {
  WallTime timestamp = 0.0;
  std::int64_t batteryPercent = 0;
  bool isCharging = false;
  float screenBrightness = 0.5F;

  bool operator==(const BatterySnapshot&) const = default;
};

// The learning record: the samples of the last 30 days and the count of days.
struct PredictionData {
  std::vector<BatterySnapshot> snapshots;
  std::optional<WallTime> lastTrainingDate;
  std::int64_t daysCollected = 0;
  double accuracyScore = 0.0;

  // Samples strictly older than this are dropped by addSnapshot.
  static constexpr double kRetentionSeconds = 2'592'000.0;  // 30 days
  // Samples dated more than this after now were taken while the clock was
  // ahead: they are no evidence of the present and are dropped by addSnapshot.
  static constexpr double kFutureToleranceSeconds = 120.0;

  // Appends `snapshot`, then keeps only the samples whose timestamp is strictly
  // later than `now` minus 30 days and at most kFutureToleranceSeconds after
  // `now` (the new one included), in their order.
  void addSnapshot(const BatterySnapshot& snapshot, WallTime now);
  // Adds one counted day (it stops at the largest count rather than wrapping).
  void incrementDayCollected();

  bool operator==(const PredictionData&) const = default;
};

// Compact JSON; points in time as seconds since 2001 in shortest round-trip
// form. Absent when the record holds a number JSON cannot express (infinity or
// not-a-number), which only a caller outside the application could put there.
std::optional<std::string> encodePredictionData(const PredictionData& data);
// The same into `out`, whose capacity is reused: the predictor rewrites the
// whole file every 30 seconds, and a fresh 8 MB buffer each time costs more
// than the formatting. Returns false (and leaves `out` unspecified) where the
// function above gives absent.
bool encodePredictionDataInto(const PredictionData& data, std::string& out);

// The same text, kept up to date from one save to the next: each snapshot is
// encoded once, when it is first seen. A record that only gained samples at
// the end and lost some at the front costs the new ones; any other change
// encodes it afresh.
class IncrementalPredictionEncoder {
 public:
  // False (and the next update starts afresh) where encodePredictionData
  // gives absent.
  bool update(const PredictionData& data);
  // The text of the last successful update in pieces, whose concatenation is
  // exactly what encodePredictionData writes. Valid until the next update.
  std::array<std::string_view, 3> pieces() const;

 private:
  void reset();

  std::vector<BatterySnapshot> kept_;  // as written, from keptFrom_ on
  std::vector<std::uint32_t> lengths_;
  std::string body_;  // ",{...}" per kept snapshot, from bodyFrom_ on
  std::size_t keptFrom_ = 0;
  std::size_t bodyFrom_ = 0;
  std::string tail_;
};

struct PredictionDecodeResult {
  std::optional<PredictionData> data;
  std::string error;  // readable description when data is absent
};
// Strict reading: any missing or mistyped member fails the whole record.
PredictionDecodeResult decodePredictionData(std::string_view json);
// The same, reading `json` in place when it has at least 64 bytes of spare
// capacity (readWholeFile leaves them) and copying it otherwise: the learning
// file is large enough for the copy to matter.
PredictionDecodeResult decodePredictionDataBuffer(const std::string& json);

}  // namespace kestrine
