#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ports/clock.h"
#include "ports/console.h"
#include "ports/learning_store.h"
#include "prediction/prediction_data.h"

namespace kestrine {

// Percentage points per minute over the discharging samples of the ten minutes
// before `now` (samples dated after it by more than the tolerance of
// PredictionData do not count); 0 when unknown. Every neighbouring pair of
// those samples with a positive span adds its time; its drop counts only when
// the charge fell. A difference of percents too large for 64 bits makes the
// rate unknown.
double recentDischargeRate(std::span<const BatterySnapshot> snapshots, WallTime now);

// Minutes left at `currentPercent` with `rate` points per minute, after the
// safety factor, truncated toward zero; absent when the rate is not positive
// or the minutes do not fit in 64 bits.
std::optional<std::int64_t> remainingMinutes(std::int64_t currentPercent, double rate);

// Learns the discharge rate from battery snapshots and predicts the minutes left.
// Owns the learning record and saves it through a store after every change:
// by default the file ".kestrine_ai_data.json" in the home directory.
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

  // Loads the learning file; a missing or unreadable one gives a new record.
  // Nothing is pruned or saved here, and only a file too large to read prints
  // a line.
  BatteryPredictor(const std::filesystem::path& home, const Clock& clock, Console& console);
  // The same with the record kept in `store`, which outlives the predictor.
  BatteryPredictor(LearningStore& store, const Clock& clock);

  static std::filesystem::path dataPath(const std::filesystem::path& home);

  void recordSnapshot(std::int64_t batteryPercent, bool isCharging);
  std::optional<std::int64_t> predictRemainingMinutes(std::int64_t currentPercent) const;
  bool hasEnoughData() const;
  std::int64_t getDaysCollected() const;
  std::int64_t getSnapshotCount() const;
  void incrementDayCounter();

  // Why the last save failed: the line for the caller to print, "Failed to save
  // prediction data: <description>"; absent after a save that succeeded.
  const std::optional<std::string>& saveFailure() const { return saveFailure_; }

  const PredictionData& data() const { return predictionData_; }

 private:
  void saveData();
  // The samples that can lie in the ten minutes before `now`: the tail after
  // the older ones while the list is in time order, else all of them.
  std::span<const BatterySnapshot> recentCandidates(WallTime now) const;

  std::unique_ptr<LearningStore> ownStore_;  // the learning file, unless a store was given
  LearningStore& store_;
  std::optional<std::string> saveFailure_;
  const Clock& clock_;
  PredictionData predictionData_;
  // The samples are in time order, none later than the newest. Then what is
  // too old to keep sits at the front and the recent ones at the end, and a
  // month of samples need not be scanned at every pass.
  bool ordered_ = true;
};

}  // namespace kestrine
