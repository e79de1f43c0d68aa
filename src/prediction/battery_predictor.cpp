#include "prediction/battery_predictor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "prediction/learning_file.h"

namespace kestrine {

namespace {

constexpr std::string_view kSaveFailed = "Failed to save prediction data: ";

// A discharging sample of the recent window, not dated in the future.
bool inRecentWindow(const BatterySnapshot& s, WallTime now) {
  return s.timestamp > now - BatteryPredictor::kRecentWindowSeconds &&
         s.timestamp <= now + PredictionData::kFutureToleranceSeconds && !s.isCharging;
}

// Non-decreasing times, none of them not-a-number.
bool inTimeOrder(const std::vector<BatterySnapshot>& snapshots) {
  return std::adjacent_find(snapshots.begin(), snapshots.end(),
                            [](const BatterySnapshot& a, const BatterySnapshot& b) {
                              return !(a.timestamp <= b.timestamp);
                            }) == snapshots.end() &&
         (snapshots.empty() || !std::isnan(snapshots.front().timestamp));
}

// Seconds from the earliest to the latest discharging sample of the ten
// minutes before `now`, counted as for the rate; 0 with fewer than two.
double recentDischargeSpan(std::span<const BatterySnapshot> snapshots, WallTime now) {
  std::optional<double> earliest, latest;
  for (const BatterySnapshot& s : snapshots) {
    if (!inRecentWindow(s, now)) continue;
    earliest = earliest ? std::min(*earliest, s.timestamp) : s.timestamp;
    latest = latest ? std::max(*latest, s.timestamp) : s.timestamp;
  }
  return earliest ? *latest - *earliest : 0.0;
}

}  // namespace

double recentDischargeRate(std::span<const BatterySnapshot> snapshots, WallTime now) {
  double totalDrop = 0.0;
  double totalMinutes = 0.0;
  const BatterySnapshot* earlier = nullptr;
  // The list is in recording order, so the window is its tail, but a clock set
  // back can leave recent-looking samples anywhere: scan it all, as stored.
  for (const BatterySnapshot& later : snapshots) {
    if (!inRecentWindow(later, now)) continue;
    if (earlier != nullptr) {
      const double minutes = (later.timestamp - earlier->timestamp) / 60.0;
      if (minutes > 0.0) {
        std::int64_t drop = 0;
        if (__builtin_sub_overflow(earlier->batteryPercent, later.batteryPercent, &drop)) {
          return 0.0;
        }
        totalMinutes += minutes;
        if (drop > 0) totalDrop += static_cast<double>(drop);
      }
    }
    earlier = &later;
  }
  if (!(totalMinutes > 0.0)) return 0.0;
  const double rate = totalDrop / totalMinutes;
  return rate > 0.0 ? rate : 0.0;
}

std::optional<std::int64_t> remainingMinutes(std::int64_t currentPercent, double rate) {
  // An infinite span of time gives a rate of zero; an infinite rate cannot
  // arise from finite drops, but is refused all the same.
  if (!(rate > 0.0) || rate == std::numeric_limits<double>::infinity()) return std::nullopt;
  const double minutes =
      static_cast<double>(currentPercent) / rate * BatteryPredictor::kSafetyFactor;
  // Truncation is only defined when the result fits: [-2^63, 2^63).
  if (!(minutes >= -0x1p63 && minutes < 0x1p63)) return std::nullopt;
  return static_cast<std::int64_t>(minutes);
}

BatteryPredictor::BatteryPredictor(const std::filesystem::path& home, const Clock& clock,
                                   Console& console)
    : ownStore_(std::make_unique<LearningFile>(home, console)), store_(*ownStore_), clock_(clock) {
  if (auto loaded = store_.load()) predictionData_ = std::move(*loaded);
  ordered_ = inTimeOrder(predictionData_.snapshots);
}

BatteryPredictor::BatteryPredictor(LearningStore& store, const Clock& clock)
    : store_(store), clock_(clock) {
  if (auto loaded = store_.load()) predictionData_ = std::move(*loaded);
  ordered_ = inTimeOrder(predictionData_.snapshots);
}

std::filesystem::path BatteryPredictor::dataPath(const std::filesystem::path& home) {
  return LearningFile::path(home);
}

void BatteryPredictor::recordSnapshot(std::int64_t batteryPercent, bool isCharging) {
  const WallTime now = clock_.now();
  const BatterySnapshot snapshot{now, batteryPercent, isCharging, kScreenBrightness};
  std::vector<BatterySnapshot>& snapshots = predictionData_.snapshots;
  if (ordered_ && std::isfinite(now) && (snapshots.empty() || snapshots.back().timestamp <= now)) {
    // What addSnapshot does, without looking at every sample: the ones to
    // drop are the oldest.
    snapshots.push_back(snapshot);
    const double cutoff = now - PredictionData::kRetentionSeconds;
    const auto kept =
        std::find_if(snapshots.begin(), snapshots.end(),
                     [cutoff](const BatterySnapshot& s) { return s.timestamp > cutoff; });
    snapshots.erase(snapshots.begin(), kept);
  } else {
    predictionData_.addSnapshot(snapshot, now);
    ordered_ = inTimeOrder(snapshots);
  }
  saveData();
}

std::optional<std::int64_t> BatteryPredictor::predictRemainingMinutes(
    std::int64_t currentPercent) const {
  if (!hasEnoughData()) return std::nullopt;
  if (predictionData_.snapshots.empty()) return std::nullopt;
  if (predictionData_.snapshots.back().isCharging) return std::nullopt;
  const WallTime now = clock_.now();
  if (recentDischargeSpan(recentCandidates(now), now) < kMinimumDischargeSpanSeconds) {
    return std::nullopt;
  }
  return remainingMinutes(currentPercent, recentDischargeRate(recentCandidates(now), now));
}

std::span<const BatterySnapshot> BatteryPredictor::recentCandidates(WallTime now) const {
  const std::vector<BatterySnapshot>& snapshots = predictionData_.snapshots;
  if (!ordered_ || snapshots.empty() || !(snapshots.back().timestamp <= now)) return snapshots;
  const double cutoff = now - kRecentWindowSeconds;
  const auto first =
      std::partition_point(snapshots.begin(), snapshots.end(),
                           [cutoff](const BatterySnapshot& s) { return !(s.timestamp > cutoff); });
  return {first, snapshots.end()};
}

bool BatteryPredictor::hasEnoughData() const {
  return getSnapshotCount() >= kMinimumSnapshotsRequired &&
         predictionData_.daysCollected >= kMinimumDaysRequired;
}

std::int64_t BatteryPredictor::getDaysCollected() const { return predictionData_.daysCollected; }

std::int64_t BatteryPredictor::getSnapshotCount() const {
  return static_cast<std::int64_t>(predictionData_.snapshots.size());
}

void BatteryPredictor::incrementDayCounter() {
  predictionData_.incrementDayCollected();
  saveData();
}

void BatteryPredictor::saveData() {
  saveFailure_ = store_.save(predictionData_);
  if (saveFailure_) saveFailure_->insert(0, kSaveFailed);
}

}  // namespace kestrine
