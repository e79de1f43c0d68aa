#include "prediction/battery_predictor.h"

#include <algorithm>
#include <limits>
#include <string>

#include "storage/file_store.h"

namespace kestrine {

namespace {

constexpr std::string_view kFileName = ".kestrine_ai_data.json";
constexpr std::string_view kCorruptSuffix = ".corrupt";
constexpr std::string_view kLoadFailed = "Failed to load prediction data: ";
constexpr std::string_view kSaveFailed = "Failed to save prediction data: ";

// A discharging sample of the recent window, not dated in the future.
bool inRecentWindow(const BatterySnapshot& s, WallTime now) {
  return s.timestamp > now - BatteryPredictor::kRecentWindowSeconds &&
         s.timestamp <= now + PredictionData::kFutureToleranceSeconds && !s.isCharging;
}

}  // namespace

double recentDischargeRate(const std::vector<BatterySnapshot>& snapshots, WallTime now) {
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

double recentDischargeSpan(const std::vector<BatterySnapshot>& snapshots, WallTime now) {
  std::optional<double> earliest, latest;
  for (const BatterySnapshot& s : snapshots) {
    if (!inRecentWindow(s, now)) continue;
    earliest = earliest ? std::min(*earliest, s.timestamp) : s.timestamp;
    latest = latest ? std::max(*latest, s.timestamp) : s.timestamp;
  }
  return earliest ? *latest - *earliest : 0.0;
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
    : dataPath_(dataPath(home)),
      corruptCopyPath_(corruptCopyPath(home)),
      clock_(clock),
      console_(console) {
  if (pathKind(dataPath_) == PathKind::missing) return;
  FileReadResult read = readWholeFile(dataPath_, kMaxFileBytes);
  if (read.bytes) {
    PredictionDecodeResult decoded = decodePredictionDataBuffer(*read.bytes);
    if (decoded.data) {
      predictionData_ = std::move(*decoded.data);
      return;
    }
  } else if (read.tooLarge) {
    console_.printLine(std::string(kLoadFailed) + read.error);
  }
  // Start afresh, without a word unless the file was too large, but keep the
  // old content for whoever wants to look at it: the first save moves it
  // aside instead of overwriting it.
  moveAsideBeforeSave_ = true;
}

std::filesystem::path BatteryPredictor::dataPath(const std::filesystem::path& home) {
  return home / kFileName;
}

std::filesystem::path BatteryPredictor::corruptCopyPath(const std::filesystem::path& home) {
  std::filesystem::path path = dataPath(home);
  path += kCorruptSuffix;
  return path;
}

void BatteryPredictor::recordSnapshot(std::int64_t batteryPercent, bool isCharging) {
  const WallTime now = clock_.now();
  predictionData_.addSnapshot(BatterySnapshot{now, batteryPercent, isCharging, kScreenBrightness},
                              now);
  saveData();
}

std::optional<std::int64_t> BatteryPredictor::predictRemainingMinutes(
    std::int64_t currentPercent) const {
  if (!hasEnoughData()) return std::nullopt;
  if (predictionData_.snapshots.empty()) return std::nullopt;
  if (predictionData_.snapshots.back().isCharging) return std::nullopt;
  if (recentDischargeSpan(predictionData_.snapshots, clock_.now()) < kMinimumDischargeSpanSeconds) {
    return std::nullopt;
  }
  return remainingMinutes(currentPercent, calculateRecentDischargeRate());
}

double BatteryPredictor::calculateRecentDischargeRate() const {
  return recentDischargeRate(predictionData_.snapshots, clock_.now());
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

void BatteryPredictor::clearData() {
  predictionData_ = PredictionData{};
  removeFile(dataPath_);
  // Whatever the unreadable file was, the user has now asked for it to go.
  if (pathKind(dataPath_) == PathKind::missing) moveAsideBeforeSave_ = false;
}

void BatteryPredictor::saveData() {
  if (!encodePredictionDataInto(predictionData_, encodeBuffer_)) {
    console_.printLine(std::string(kSaveFailed) +
                       "the learning data holds a number JSON cannot express");
    return;
  }
  // Only a file is kept aside: anything else at the path, a directory say, is
  // left where it is for the write below to report.
  if (moveAsideBeforeSave_) {
    if (auto kept = keepUnreadableFile(dataPath_, corruptCopyPath_, kMaxFileBytes); kept.error) {
      // Keep the old content rather than overwrite it; try again next time.
      console_.printLine(std::string(kSaveFailed) + *kept.error);
      return;
    }
  }
  if (auto error = writeFileSafely(dataPath_, encodeBuffer_)) {
    console_.printLine(std::string(kSaveFailed) + *error);
    return;
  }
  // The file now holds our own record: nothing left to keep.
  moveAsideBeforeSave_ = false;
}

}  // namespace kestrine
