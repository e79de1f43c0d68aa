#include "prediction/prediction_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>

#include "support/json_text.h"
#include "support/prediction_text.h"

namespace kestrine {
namespace {

using ::testing::HasSubstr;

constexpr const char* kOneSnapshot =
    R"({"timestamp":800000000.25,"batteryPercent":80,"isCharging":false,"screenBrightness":0.5})";

std::string record(std::string_view snapshots, std::string_view rest) {
  return "{\"snapshots\":[" + std::string(snapshots) + "]" + std::string(rest) + "}";
}

TEST(PredictionData, WritesCompactShortestNumbers) {
  PredictionData data;
  data.snapshots = {{800000000.25, 80, false, 0.5F}, {-1.5, -3, true, 0.1F}};
  data.lastTrainingDate = 0.1;
  data.daysCollected = 7;
  data.accuracyScore = 0.75;
  EXPECT_EQ(
      encodePredictionData(data),
      R"({"snapshots":[{"timestamp":800000000.25,"batteryPercent":80,"isCharging":false,"screenBrightness":0.5},)"
      R"({"timestamp":-1.5,"batteryPercent":-3,"isCharging":true,"screenBrightness":0.10000000149011612}],)"
      R"("lastTrainingDate":0.1,"daysCollected":7,"accuracyScore":0.75})");
}

// Written, they would make the next start set the whole file aside.
TEST(PredictionData, NumbersWithoutJsonFormCannotBeWritten) {
  const double value = std::numeric_limits<double>::infinity();
  PredictionData data;
  data.snapshots = {{value, 1, false, 0.5F}};
  EXPECT_FALSE(encodePredictionData(data));
  data.snapshots = {{1.0, 1, false, std::numeric_limits<float>::quiet_NaN()}};
  EXPECT_FALSE(encodePredictionData(data));
  data.snapshots = {};
  data.lastTrainingDate = value;
  EXPECT_FALSE(encodePredictionData(data));
  data.lastTrainingDate.reset();
  data.accuracyScore = value;
  EXPECT_FALSE(encodePredictionData(data));
}

// Timestamps of every magnitude must come back to the last bit, with the values
// where a shortest-text writer or a reader without full precision is known to
// go wrong: integral doubles beyond 64 bits, the extremes, negative zero, and
// timestamps past mid-2029 that need 17 significant digits.
TEST(PredictionData, RoundTripIsBitExact) {
  std::mt19937_64 random(20240601);
  std::uniform_real_distribution<double> nearNow(0.0, 2.0e9);
  std::uniform_real_distribution<float> brightness(0.0F, 1.0F);
  PredictionData data;
  for (int i = 0; i < 5000; ++i) {
    double timestamp = nearNow(random);
    if (i % 3 == 0) {
      // Any finite bit pattern at all.
      do {
        timestamp = std::bit_cast<double>(random());
      } while (!std::isfinite(timestamp));
    }
    data.snapshots.push_back(
        {timestamp, static_cast<std::int64_t>(random()), (i % 2) == 0,
         i % 5 == 0 ? std::bit_cast<float>(static_cast<std::uint32_t>(random() & 0x7f7fffffU))
                    : brightness(random)});
  }
  for (const double edge :
       {1e18, 18446744073709551616.0, -3256937983961036488704.0, std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(), -0.0, 900'000'000.123456789,
        std::nextafter(900'000'000.0, 1e9)}) {
    data.snapshots.push_back({edge, 1, false, 0.5F});
  }
  data.lastTrainingDate = -0.0;
  data.daysCollected = std::numeric_limits<std::int64_t>::min();
  data.accuracyScore = std::nextafter(1.0, 2.0);

  const std::string text = encodePredictionData(data).value();
  const auto decoded = decodePredictionData(text);
  ASSERT_TRUE(decoded.data) << decoded.error;
  EXPECT_EQ(*decoded.data, data);
  // Equality takes -0.0 for 0.0: compare the bits as well.
  for (std::size_t i = 0; i < data.snapshots.size(); ++i) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(decoded.data->snapshots[i].timestamp),
              std::bit_cast<std::uint64_t>(data.snapshots[i].timestamp))
        << i;
  }
  EXPECT_TRUE(std::signbit(*decoded.data->lastTrainingDate));
  // Read in pieces of awkward sizes, the samples fall across every boundary.
  std::size_t offset = 0;
  const auto inPieces = decodePredictionData([&](char* into, std::size_t room) {
    const std::size_t count = std::min({room, text.size() - offset, std::size_t{4093}});
    std::memcpy(into, text.data() + offset, count);
    offset += count;
    return static_cast<std::ptrdiff_t>(count);
  });
  EXPECT_EQ(inPieces.data, decoded.data);
}

// A byte at a time, as slow as a reader can be, and one that fails midway.
PredictionDecodeResult decodeBytewise(std::string_view text, std::size_t failAt = SIZE_MAX) {
  std::size_t offset = 0;
  return decodePredictionData([&](char* into, std::size_t) -> std::ptrdiff_t {
    if (offset == failAt) return -1;
    if (offset == text.size()) return 0;
    *into = text[offset++];
    return 1;
  });
}

struct AcceptedCase {
  const char* name;
  std::string json;
  PredictionData expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }

PredictionData withOneSnapshot(std::optional<WallTime> trainingDate = std::nullopt) {
  PredictionData data;
  data.snapshots = {{800000000.25, 80, false, 0.5F}};
  data.lastTrainingDate = trainingDate;
  data.daysCollected = 3;
  data.accuracyScore = 0.0;
  return data;
}

std::vector<AcceptedCase> acceptedCases() {
  return {
      {"TrainingDateMissing", record(kOneSnapshot, R"(,"daysCollected":3,"accuracyScore":0)"),
       withOneSnapshot()},
      {"TrainingDateNull",
       record(kOneSnapshot, R"(,"lastTrainingDate":null,"daysCollected":3,"accuracyScore":0.0)"),
       withOneSnapshot()},
      {"TrainingDatePresent",
       record(kOneSnapshot, R"(,"lastTrainingDate":12.5,"daysCollected":3,"accuracyScore":0)"),
       withOneSnapshot(12.5)},
      {"AnyOrderOtherMembersIntegerNumbers",
       R"({"accuracyScore":0,"future":{"a":[1,2]},"daysCollected":3,"snapshots":[)"
       R"({"screenBrightness":0.5,"extra":"x","isCharging":false,"batteryPercent":80,"timestamp":800000000.25}]})",
       withOneSnapshot()},
      {"WhitespaceAndExponents",
       " { \"snapshots\" : [ { \"timestamp\" : 8.0000000025e8 , \"batteryPercent\" : 80 ,"
       " \"isCharging\" : false , \"screenBrightness\" : 5E-1 } ] , \"daysCollected\" : 3 ,"
       " \"accuracyScore\" : -0 }\n",
       withOneSnapshot()},
      // A value larger than the reading buffer, a member given twice (the
      // last holds) and a name spelled with an escape.
      {"LongValueRepeatedAndEscapedNames",
       R"({"snapshots":[],"note":")" + std::string(600'000, 'x') + R"(","\u0073napshots":[)" +
           kOneSnapshot + R"(],"daysCollected":3,"accuracyScore":0})",
       withOneSnapshot()},
  };
}

class PredictionDataAccepts : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(PredictionDataAccepts, Decodes) {
  const auto result = decodePredictionData(GetParam().json);
  ASSERT_TRUE(result.data) << result.error;
  EXPECT_EQ(*result.data, GetParam().expected);
  EXPECT_EQ(decodeBytewise(GetParam().json).data, result.data);
  EXPECT_FALSE(decodeBytewise(GetParam().json, GetParam().json.size() / 2).data);
}

INSTANTIATE_TEST_SUITE_P(Cases, PredictionDataAccepts, ::testing::ValuesIn(acceptedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The snapshot, or the record around it, with one member replaced, or left out
// when `value` is empty.
std::string snapshotWith(std::string_view member, std::string_view value) {
  return testing::objectWith({{"timestamp", "800000000.25"},
                              {"batteryPercent", "80"},
                              {"isCharging", "false"},
                              {"screenBrightness", "0.5"}},
                             member, value);
}
std::string recordWith(std::string_view member, std::string_view value) {
  const std::string snapshots = std::string("[") + kOneSnapshot + "]";
  return testing::objectWith(
      {{"snapshots", snapshots}, {"daysCollected", "3"}, {"accuracyScore", "0.5"}}, member, value);
}

struct RejectedCase {
  std::string name;
  std::string json;
  const char* errorPart;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RejectedCase& c, std::ostream* os) { *os << c.name; }

std::vector<RejectedCase> rejectedCases() {
  const std::string rest = R"(,"daysCollected":3,"accuracyScore":0)";
  std::vector<RejectedCase> cases = {
      {"NotJson", "snapshots: []", "not valid JSON"},
      {"Truncated", record(kOneSnapshot, rest).substr(0, 60), "not valid JSON"},
      {"InvalidUtf8", record(kOneSnapshot, R"(,"note":")" + std::string("\xc3\x28") + "\"" + rest),
       "UTF-8"},
      {"TopLevelArray", "[]", "not an object"},
      {"TrailingCommaInSnapshots", record(std::string(kOneSnapshot) + ",", rest), "not valid JSON"},
      {"TextAfterTheRecord", record(kOneSnapshot, rest) + " {}", "not valid JSON"},
      {"MissingColon", R"({"snapshots" [])", "not valid JSON"},
      {"SnapshotsNotArray", recordWith("snapshots", "{}"), "\"snapshots\" is not an array"},
      {"SnapshotNotObject", record("[1]", rest), "snapshot 0: a snapshot is not an object"},
      {"DaysWithFraction", recordWith("daysCollected", "3.0"), "not a whole number"},
      {"AccuracyAsString", recordWith("accuracyScore", "\"high\""), "is not a number"},
      {"TrainingDateAsText", record(kOneSnapshot, R"(,"lastTrainingDate":"2024-01-01")" + rest),
       "\"lastTrainingDate\" is not a number"},
      {"ChargingAsOne", record(snapshotWith("isCharging", "1"), rest),
       "\"isCharging\" is not true or false"},
      {"PercentFractional", record(snapshotWith("batteryPercent", "57.9"), rest),
       "not a whole number"},
      {"PercentHuge", record(snapshotWith("batteryPercent", "18446744073709551615"), rest),
       "does not fit"},
      {"TimestampNull", record(snapshotWith("timestamp", "null"), rest), "not a number"},
      {"TimestampOutOfRange", record(snapshotWith("timestamp", "1e400"), rest), "not valid JSON"},
      {"BrightnessBeyondFloat", record(snapshotWith("screenBrightness", "1e39"), rest),
       "does not fit in a 32-bit float"},
      {"BadSecondSnapshot",
       record(std::string(kOneSnapshot) + "," + snapshotWith("isCharging", "\"no\""), rest),
       "snapshot 1:"},
  };
  for (const char* member : {"snapshots", "daysCollected", "accuracyScore"}) {
    cases.push_back({std::string("RecordMissing_") + member, recordWith(member, ""), member});
  }
  for (const char* member : {"timestamp", "batteryPercent", "isCharging", "screenBrightness"}) {
    cases.push_back(
        {std::string("SnapshotMissing_") + member, record(snapshotWith(member, ""), rest), member});
  }
  return cases;
}

class PredictionDataRejects : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(PredictionDataRejects, FailsAsAWhole) {
  const auto result = decodePredictionData(GetParam().json);
  EXPECT_FALSE(result.data) << GetParam().json;
  EXPECT_THAT(result.error, HasSubstr(GetParam().errorPart));
  EXPECT_FALSE(decodeBytewise(GetParam().json).data);
}

INSTANTIATE_TEST_SUITE_P(Cases, PredictionDataRejects, ::testing::ValuesIn(rejectedCases()),
                         [](const auto& info) { return info.param.name; });

struct PruneCase {
  const char* name;
  double ageOfOldSample;  // seconds before the clock reading of the call
  double ageOfNewSample;
  std::vector<double> expectedAges;  // the ages kept, in order
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const PruneCase& c, std::ostream* os) { *os << c.name; }

const PruneCase kPruneCases[] = {
    {"ExactlyThirtyDaysIsRemoved", 2'592'000.0, 0.0, {0.0}},
    {"OneSecondInsideIsKept", 2'591'999.0, 0.0, {2'591'999.0, 0.0}},
    {"NewSampleOlderThanThirtyDaysIsDropped", 10.0, 2'592'001.0, {10.0}},
    // A day ahead is a clock since corrected; seconds ahead are not.
    {"FarFutureIsDroppedNearFutureKept", -86'400.0, -5.0, {-5.0}},
    {"JustPastTheFutureToleranceIsDropped", -121.0, 0.0, {0.0}},
    {"InfiniteDateIsDropped", -std::numeric_limits<double>::infinity(), 0.0, {0.0}},
};

class AddSnapshotPrunes : public ::testing::TestWithParam<PruneCase> {};

TEST_P(AddSnapshotPrunes, KeepsOnlyTheLastThirtyDays) {
  const double now = 800'000'000.0;
  PredictionData data;
  data.daysCollected = 4;
  data.snapshots = {{now - GetParam().ageOfOldSample, 50, false, 0.5F}};
  data.addSnapshot({now - GetParam().ageOfNewSample, 49, true, 0.5F}, now);
  std::vector<double> ages;
  for (const auto& snapshot : data.snapshots) ages.push_back(now - snapshot.timestamp);
  EXPECT_EQ(ages, GetParam().expectedAges);
  EXPECT_EQ(data.daysCollected, 4);
}

INSTANTIATE_TEST_SUITE_P(Cases, AddSnapshotPrunes, ::testing::ValuesIn(kPruneCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestrine
