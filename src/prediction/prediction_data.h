#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
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

// Where IncrementalPredictionEncoder writes a record.
class PredictionSink {
 public:
  // Appends `text`.
  virtual bool write(std::string_view text) = 0;
  // Appends `length` bytes of the text this sink was given last time, from
  // `offset` on.
  virtual bool copyPrevious(std::size_t offset, std::size_t length) = 0;

 protected:
  ~PredictionSink() = default;
};

// Writes the record as compact JSON, points in time as seconds since 2001 in
// shortest round-trip form, from one save to the next, without holding it: it remembers each sample
// it wrote (16 bytes, not its text), and a record that only gained samples at the end and lost some
// at the front copies the rest from the previous text and encodes the new ones. Any other change
// encodes the record afresh, straight into the sink.
class IncrementalPredictionEncoder {
 public:
  // False where the record holds a number JSON cannot express (infinity or
  // not-a-number, which only a caller outside the application could put
  // there) or the sink fails; the next write then encodes afresh.
  bool write(const PredictionData& data, PredictionSink& sink);
  // The previous text is gone or not what this encoder wrote: the next write
  // encodes everything.
  void forget();

 private:
  // One written sample, compared bit for bit with the record's next time.
  struct Written {
    std::uint64_t timestamp;
    std::uint32_t brightness;
    std::int16_t percent;
    bool charging;
    std::uint8_t length;  // its text, without the comma before it
  };
  static std::optional<Written> remember(const BatterySnapshot& snapshot, std::size_t length);
  static bool same(const Written& written, const BatterySnapshot& snapshot);

  std::deque<Written> written_;
  std::size_t bodyBytes_ = 0;  // the samples' text, a comma counted for each
};

// Whether the encoder can write `data`: no infinity or not-a-number.
bool encodable(const PredictionData& data);

struct PredictionDecodeResult {
  std::optional<PredictionData> data;
  std::string error;  // readable description when data is absent
};
// Strict reading: any missing or mistyped member fails the whole record.
PredictionDecodeResult decodePredictionData(std::string_view json);

// Gives a record's text in pieces: writes up to `room` bytes at `into` and
// returns how many, 0 at the end; -1 when it cannot read on.
using TextReader = std::function<std::ptrdiff_t(char* into, std::size_t room)>;
// The same reading, in pieces: no more of the text is held than a few
// hundred kilobytes, and no document tree of the whole. `sizeHint`, the
// text's size when known, reserves the samples at once.
PredictionDecodeResult decodePredictionData(const TextReader& read, std::size_t sizeHint = 0);

}  // namespace kestrine
