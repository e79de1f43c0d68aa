#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ports/clock.h"
#include "ports/console.h"
#include "prediction/prediction_data.h"

namespace kestrine {

// Percentage points per minute over the discharging samples of the ten minutes
// before `now` (samples dated after it by more than the tolerance of
// PredictionData do not count); 0 when unknown. Every neighbouring pair of
// those samples with a positive span adds its time; its drop counts only when
// the charge fell. A difference of percents too large for 64 bits makes the
// rate unknown.
double recentDischargeRate(const std::vector<BatterySnapshot>& snapshots, WallTime now);

// Seconds from the earliest to the latest discharging sample of the ten
// minutes before `now`, counted as for the rate; 0 with fewer than two.
double recentDischargeSpan(const std::vector<BatterySnapshot>& snapshots, WallTime now);

// Minutes left at `currentPercent` with `rate` points per minute, after the
// safety factor, truncated toward zero; absent when the rate is not positive
// or the minutes do not fit in 64 bits.
std::optional<std::int64_t> remainingMinutes(std::int64_t currentPercent, double rate);

// Learns the discharge rate from battery snapshots and predicts the minutes left.
// Owns the learning record and its file ".kestrine_ai_data.json" in the home directory.
class BatteryPredictor {
 public:
  static constexpr std::int64_t kMinimumSnapshotsRequired = 100;
  static constexpr std::int64_t kMinimumDaysRequired = 2;
  static constexpr double kRecentWindowSeconds = 600.0;
  // Right after unplugging the window holds two or three samples 30 seconds
  // apart, and one whole-percent step between them reads as 2 points a minute:
  // no prediction until the discharge inside the window lasts this long.
  static constexpr double kMinimumDischargeSpanSeconds = 300.0;
  static constexpr double kSafetyFactor = 0.9;
  static constexpr float kScreenBrightness = 0.5F;
  // About 86,400 samples take 8 MB; a larger file is not one of ours.
  static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

  // Loads the learning file; a missing or unreadable one gives a new record.
  // Nothing is pruned or saved here, and only a file too large to read prints
  // a line.
  BatteryPredictor(const std::filesystem::path& home, const Clock& clock, Console& console);

  static std::filesystem::path dataPath(const std::filesystem::path& home);
  // Where an unreadable learning file is kept before a save replaces it.
  static std::filesystem::path corruptCopyPath(const std::filesystem::path& home);

  void recordSnapshot(std::int64_t batteryPercent, bool isCharging);
  std::optional<std::int64_t> predictRemainingMinutes(std::int64_t currentPercent) const;
  bool hasEnoughData() const;
  std::int64_t getDaysCollected() const;
  std::int64_t getSnapshotCount() const;
  void incrementDayCounter();
  void clearData();

  // Percentage points per minute over the last ten minutes of discharge; 0 when unknown.
  double calculateRecentDischargeRate() const;
  const PredictionData& data() const { return predictionData_; }

 private:
  void saveData();

  std::filesystem::path dataPath_;
  std::filesystem::path corruptCopyPath_;
  const Clock& clock_;
  Console& console_;
  PredictionData predictionData_;
  // An unreadable file found at start is kept as ".corrupt" before the first save.
  bool moveAsideBeforeSave_ = false;
  // Reused by every save: the whole file is rewritten every 30 seconds.
  std::string encodeBuffer_;
};

}  // namespace kestrine
