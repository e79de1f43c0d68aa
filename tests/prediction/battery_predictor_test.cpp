#include "prediction/battery_predictor.h"

#include <gmock/gmock.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>

#include <cmath>
#include <limits>
#include <ostream>

#include "platform/fake/recording_console.h"
#include "platform/fake/virtual_clock.h"
#include "platform/fake/virtual_main_loop.h"
#include "prediction/learning_file.h"
#include "support/prediction_text.h"
#include "support/temp_folder.h"

namespace kestrine {
namespace {

using ::kestrine::fake::RecordingConsole;
using namespace ::kestrine::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

constexpr double kNow = 800'000'000.0;

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

struct Sample {
  double age;  // seconds before kNow
  std::int64_t percent;
  bool charging = false;
};

std::vector<BatterySnapshot> samples(std::initializer_list<Sample> list) {
  std::vector<BatterySnapshot> result;
  for (const Sample& s : list) result.push_back({kNow - s.age, s.percent, s.charging, 0.5F});
  return result;
}

// A charge falling one point every 2 minutes, sampled every 30 seconds, over
// the last 8 minutes: 16 pairs, 4 of them falling.
std::vector<BatterySnapshot> slowFall() {
  std::vector<BatterySnapshot> result;
  for (int i = 0; i <= 16; ++i) {
    result.push_back({kNow - 480.0 + 30.0 * i, 54 - i / 4, false, 0.5F});
  }
  return result;
}

struct RateCase {
  const char* name;
  std::vector<BatterySnapshot> snapshots;
  double rate;
};

std::vector<RateCase> rateCases() {
  return {
      {"StepsOfOneMinute", samples({{240, 80}, {180, 80}, {120, 79}, {60, 79}, {0, 78}}), 0.5},
      {"SlowFallSampledOften", slowFall(), 0.5},
      {"ChargingSampleLeftOutBeforePairing", samples({{60, 60}, {30, 61, true}, {0, 59}}), 1.0},
      {"RisingPairAddsTimeOnly", samples({{120, 60}, {60, 62}, {0, 58}}), 2.0},
      {"SampleExactly600SecondsOldIsOutside", samples({{600, 90}, {60, 80}, {0, 80}}), 0.0},
      {"OneSecondInsideCounts", samples({{599, 90}, {0, 80}}), 10.0 / (599.0 / 60.0)},
      {"OnlyOneDischargingSample", samples({{30, 80, true}, {0, 79}}), 0.0},
      {"SteadyCharge", samples({{90, 70}, {60, 70}, {30, 70}, {0, 70}}), 0.0},
      {"ZeroSpanPairAddsNothing", samples({{60, 80}, {60, 70}, {0, 69}}), 1.0},
      {"BackwardsClockPairAddsNothing", samples({{0, 80}, {60, 70}}), 0.0},
      {"PercentDifferenceOverflowIsUnknown", samples({{60, kMax}, {0, -1}}), 0.0},
      {"SampleFromAClockAheadLeftOut", samples({{60, 80}, {0, 79}, {-3600, 20}}), 1.0},
      {"SampleJustAheadCounts", samples({{60, 80}, {-60, 78}}), 1.0},
  };
}

TEST(DischargeRate, OverTheLastTenMinutes) {
  for (const RateCase& c : rateCases())
    EXPECT_DOUBLE_EQ(recentDischargeRate(c.snapshots, kNow), c.rate) << c.name;
}

struct MinutesCase {
  const char* name;
  std::int64_t percent;
  double rate;
  std::optional<std::int64_t> minutes;
};

const MinutesCase kMinutesCases[] = {
    {"HalfPointPerMinuteAt78", 78, 0.5, 140},
    {"ZeroPercent", 0, 2.0, 0},
    {"NegativePercentTruncatesTowardZero", -5, 2.0, -2},
    {"ZeroRate", 50, 0.0, std::nullopt},
    {"InfiniteRate", 50, std::numeric_limits<double>::infinity(), std::nullopt},
    {"TooLargeForInt64", kMax, 0.1, std::nullopt},
    {"TooSmallForInt64", kMin, 0.1, std::nullopt},
    {"LargestThatFits", kMax, 1.0, static_cast<std::int64_t>(static_cast<double>(kMax) * 0.9)},
};

TEST(RemainingMinutes, AppliesTheSafetyFactorAndTruncates) {
  for (const MinutesCase& c : kMinutesCases)
    EXPECT_EQ(remainingMinutes(c.percent, c.rate), c.minutes) << c.name;
}

// A learning file with `count` discharging samples a minute apart ending at
// kNow and falling one point a minute, and `days` counted days.
std::string learningFile(std::int64_t count, std::int64_t days, bool lastCharging = false) {
  PredictionData data;
  for (std::int64_t i = 0; i < count; ++i) {
    const double age = 60.0 * static_cast<double>(count - 1 - i);
    data.snapshots.push_back({kNow - age, 200 - i, lastCharging && i == count - 1, 0.5F});
  }
  data.daysCollected = days;
  return *encodePredictionData(data);
}

class PredictorTest : public ::testing::Test {
 protected:
  std::filesystem::path dataFile() const { return home.path() / ".kestrine_ai_data.json"; }
  std::filesystem::path corruptFile() const {
    return home.path() / ".kestrine_ai_data.json.corrupt";
  }
  PredictionData fileContent() const {
    auto decoded = decodePredictionData(readText(dataFile()));
    EXPECT_TRUE(decoded.data) << decoded.error;
    return decoded.data.value_or(PredictionData{});
  }

  TempFolder home;
  fake::VirtualMainLoop loop{kNow};
  fake::VirtualClock clock{loop};
  fake::Recorder record;
  RecordingConsole console{&record};
};

TEST_F(PredictorTest, FreshStartWithoutAFile) {
  BatteryPredictor predictor(home.path(), clock, console);
  EXPECT_FALSE(predictor.hasEnoughData());
  EXPECT_EQ(predictor.predictRemainingMinutes(50), std::nullopt);
  EXPECT_THAT(home.entries(), IsEmpty());

  predictor.recordSnapshot(77, false);
  const PredictionData saved = fileContent();
  ASSERT_THAT(saved.snapshots, SizeIs(1));
  EXPECT_EQ(saved.snapshots[0], (BatterySnapshot{kNow, 77, false, 0.5F}));
  EXPECT_EQ(saved, predictor.data());
  // Each counted day is saved at once.
  predictor.incrementDayCounter();
  predictor.incrementDayCounter();
  EXPECT_EQ(fileContent().daysCollected, 2);
  EXPECT_THAT(record.all<fake::Printed>(), IsEmpty());
}

TEST_F(PredictorTest, ReadyFromAHundredSnapshotsAndTwoDays) {
  for (const auto& [snapshots, days, ready] :
       {std::tuple{99, 5, false}, {100, 1, false}, {100, 2, true}}) {
    writeText(dataFile(), learningFile(snapshots, days));
    BatteryPredictor predictor(home.path(), clock, console);
    EXPECT_EQ(predictor.getSnapshotCount(), snapshots);
    EXPECT_EQ(predictor.hasEnoughData(), ready) << snapshots << " snapshots, " << days << " days";
    // One point a minute at 60 percent: 60 / 1 * 0.9.
    EXPECT_EQ(predictor.predictRemainingMinutes(60),
              ready ? std::optional<std::int64_t>(54) : std::nullopt);
  }
}

// Predicts only after five minutes on battery: the discharge after 100
// charging samples, and the minutes at 78 percent.
TEST_F(PredictorTest, PredictsOnlyAfterFiveMinutesOnBattery) {
  const std::tuple<const char*, std::vector<BatterySnapshot>, std::optional<std::int64_t>> cases[] =
      {
          // Unplugged a minute ago: one whole-percent step in 30 seconds is no rate.
          {"FirstStepAfterUnplugging", samples({{60, 90}, {30, 90}, {0, 89}}), std::nullopt},
          {"FourMinutesOfOneMinuteSteps",
           samples({{240, 80}, {180, 80}, {120, 79}, {60, 79}, {0, 78}}), std::nullopt},
          {"FiveMinutesOfSteadyDischarge",
           samples({{300, 80}, {240, 80}, {180, 80}, {120, 79}, {60, 79}, {0, 78}}), 175},
          {"LastSampleCharging",
           samples(
               {{360, 80}, {300, 80}, {240, 80}, {180, 79}, {120, 79}, {60, 78}, {0, 78, true}}),
           std::nullopt},
          // Recorded while the clock was an hour ahead, then corrected.
          {"ClockAheadDoesNotStretchTheSpan",
           samples({{-3600, 80}, {-3570, 80}, {60, 79}, {0, 78}}), std::nullopt},
          {"SpanCountsDischargingSamplesOnly",
           samples({{400, 80, true}, {240, 80}, {120, 79}, {0, 78}}), std::nullopt},
      };
  for (const auto& [name, discharge, minutes] : cases) {
    PredictionData data;
    for (int i = 0; i < 100; ++i) data.snapshots.push_back({kNow - 7200.0 + i, 90, true, 0.5F});
    data.snapshots.insert(data.snapshots.end(), discharge.begin(), discharge.end());
    data.daysCollected = 2;
    writeText(dataFile(), *encodePredictionData(data));
    BatteryPredictor predictor(home.path(), clock, console);
    EXPECT_EQ(predictor.predictRemainingMinutes(78), minutes) << name;
  }
}

// A clock that can be set back, as the user or time sync can.
struct SettableClock : Clock {
  WallTime now() const override { return time; }
  int dayOfMonth(WallTime) const override { return 1; }
  WallTime time = 0.0;
};

// Each save writes what the whole encoder writes, byte for byte, while
// samples come in and the oldest leave, after a reload, once the file was
// changed by someone else, and once the clock has been set back an hour.
TEST_F(PredictorTest, EachSaveWritesExactlyTheWholeRecord) {
  writeText(dataFile(), learningFile(120, 3));
  SettableClock settable;
  // At the first pass the ten newest samples lie inside 30 days, the next
  // one exactly 30 days back.
  settable.time = kNow + 2'592'000.0 - 60.0 * 10 - 30.0;
  for (int run = 0; run < 2; ++run) {
    BatteryPredictor predictor(home.path(), settable, console);
    // Loaded as it is: nothing pruned and nothing written at construction.
    EXPECT_EQ(readText(dataFile()), *encodePredictionData(predictor.data()));
    for (int pass = 0; pass < 30; ++pass) {
      settable.time += run == 1 && pass == 10 ? -3600.0 : 30.0;
      if (run == 0 && pass == 20) {
        // Cut short behind the predictor's back: not copied from any more.
        std::filesystem::resize_file(dataFile(), std::filesystem::file_size(dataFile()) / 2);
      }
      predictor.recordSnapshot(40 - pass, pass % 3 == 0);
      if (run == 0 && pass == 0) {
        EXPECT_EQ(predictor.getSnapshotCount(), 11);
      }
      EXPECT_EQ(predictor.data().snapshots.back(),
                (BatterySnapshot{settable.time, 40 - pass, pass % 3 == 0, 0.5F}));
      // Set back, the samples now an hour ahead are gone.
      EXPECT_TRUE(
          std::ranges::is_sorted(predictor.data().snapshots, {}, &BatterySnapshot::timestamp));
      ASSERT_EQ(readText(dataFile()), *encodePredictionData(predictor.data()))
          << "run " << run << ", pass " << pass;
    }
  }
  EXPECT_THAT(record.all<fake::Printed>(), IsEmpty());
}

// A number JSON cannot hold is refused and the file kept as it was; the
// next save, without it, writes the whole record again.
TEST_F(PredictorTest, ARecordJsonCannotHoldIsRefusedAndTheFileKept) {
  writeText(dataFile(), learningFile(120, 3));
  const std::string before = readText(dataFile());
  LearningFile file(home.path(), console);
  PredictionData data = *file.load();
  ASSERT_EQ(file.save(data), std::nullopt);
  data.snapshots.push_back({std::nan(""), 50, false, 0.5F});
  EXPECT_EQ(file.save(data), "the learning data holds a number JSON cannot express");
  EXPECT_EQ(readText(dataFile()), before);
  data.snapshots.pop_back();
  data.snapshots.push_back({kNow + 30.0, 50, false, 0.5F});
  ASSERT_EQ(file.save(data), std::nullopt);
  EXPECT_EQ(readText(dataFile()), *encodePredictionData(data));
}

// Garbage, or a sparse file of 100 GB: a new record, and before the first save
// the old file replaces an older ".corrupt", once. Only the size is worth a
// line (the directory, link and locked cases are the settings file's).
TEST_F(PredictorTest, AnUnreadableFileIsMovedAsideBeforeTheFirstSave) {
  for (const auto& [name, bytes, size] :  // beyond the bytes: a hole
       {std::tuple<const char*, std::string, std::uintmax_t>{
            "CutShort", "{\"snapshots\":[{\"timestamp\":1", 28},
        {"Sparse100GB", "", std::uintmax_t{100} << 30}}) {
    SCOPED_TRACE(name);
    record.clear();
    writeText(corruptFile(), "an older copy");
    writeText(dataFile(), bytes);
    std::filesystem::resize_file(dataFile(), size);
    BatteryPredictor predictor(home.path(), clock, console);
    EXPECT_EQ(predictor.data(), PredictionData{});
    EXPECT_EQ(std::filesystem::file_size(dataFile()), size);  // untouched until the first save
    predictor.recordSnapshot(64, false);
    predictor.recordSnapshot(63, false);
    EXPECT_EQ(std::filesystem::file_size(corruptFile()), size);
    EXPECT_THAT(fileContent().snapshots, SizeIs(2));
    const bool huge = size > LearningFile::kMaxFileBytes;
    const auto printed = record.all<fake::Printed>();
    ASSERT_THAT(printed, SizeIs(huge ? 1 : 0));
    for (const auto& line : printed)
      EXPECT_THAT(line.line, HasSubstr(std::to_string(size) + " bytes, more than"));
  }
}

// A ".corrupt" that is a folder: the unreadable file can be neither renamed
// nor copied aside, so it is not overwritten either, and the save says so.
TEST_F(PredictorTest, AnUnreadableFileThatCannotBeKeptIsNotOverwritten) {
  std::filesystem::create_directory(corruptFile());
  writeText(dataFile(), "not a record");
  BatteryPredictor predictor(home.path(), clock, console);
  predictor.recordSnapshot(64, false);
  EXPECT_TRUE(predictor.saveFailure());
  EXPECT_EQ(readText(dataFile()), "not a record");
}

// A month as the application keeps it, a sample every 30 s (8 MB), loads whole.
TEST_F(PredictorTest, AMonthOfSamplesLoads) {
  PredictionData month;
  for (int i = 0; i < 86'400; ++i)
    month.snapshots.push_back({kNow - 30.0 * (86'400 - i), 100 - i % 97, i % 2 == 0, 0.25F});
  writeText(dataFile(), *encodePredictionData(month));
  EXPECT_EQ(BatteryPredictor(home.path(), clock, console).data(), month);
}

TEST_F(PredictorTest, UnwritableHomeGivesTheFailureAndKeepsLearning) {
  const auto missingHome = home.path() / "gone";
  fake::VirtualMainLoop loop{kNow - 60.0 * 99};
  fake::VirtualClock clock{loop};
  BatteryPredictor predictor(missingHome, clock, console);
  predictor.incrementDayCounter();
  predictor.incrementDayCounter();
  for (int i = 0; i < 100; ++i) {
    loop.runUntil(kNow - 60.0 * (99 - i));
    predictor.recordSnapshot(100 - i, false);
  }
  EXPECT_THAT(record.all<fake::Printed>(), IsEmpty()) << "the caller prints, once";
  ASSERT_TRUE(predictor.saveFailure());
  EXPECT_THAT(*predictor.saveFailure(), StartsWith("Failed to save prediction data: "));
  EXPECT_THAT(*predictor.saveFailure(), HasSubstr("No such file or directory"));
  EXPECT_EQ(predictor.getSnapshotCount(), 100);
  EXPECT_EQ(predictor.predictRemainingMinutes(60), 54);
  EXPECT_THAT(home.entries(), IsEmpty());
}

}  // namespace
}  // namespace kestrine
