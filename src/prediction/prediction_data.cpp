#include "prediction/prediction_data.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "storage/file_store.h"
#include "storage/json_reading.h"

static_assert(kestrine::kReadSlack >= simdjson::SIMDJSON_PADDING,
              "readWholeFile must leave room for the parser to read ahead");

namespace kestrine {

namespace {

// Longest text std::to_chars gives for a double (shortest form) or an int64.
constexpr std::size_t kMaxNumberChars = 32;

// Shortest text that reads back to the same double, written at `at`; returns
// the end. From 1e18 on, the shortest form may be a long run of digits without
// point or exponent, which readers take for an integer and refuse beyond 64
// bits; the exponent form avoids that and is no longer. Negative zero needs its
// point too: "-0" reads back as the integer 0.
char* writeDouble(char* at, double value) {
  if (value == 0.0 && std::signbit(value)) {
    std::memcpy(at, "-0.0", 4);
    return at + 4;
  }
  return std::abs(value) >= 1e18
             ? std::to_chars(at, at + kMaxNumberChars, value, std::chars_format::scientific).ptr
             : std::to_chars(at, at + kMaxNumberChars, value).ptr;
}

char* writeInteger(char* at, std::int64_t value) {
  return std::to_chars(at, at + kMaxNumberChars, value).ptr;
}

template <std::size_t N>
char* writeLiteral(char* at, const char (&text)[N]) {
  std::memcpy(at, text, N - 1);
  return at + N - 1;
}

// Collects the text in a small buffer that stays in cache and hands it to the
// output string in large pieces: far cheaper than appending field by field.
class ChunkWriter {
 public:
  explicit ChunkWriter(std::string& out) : out_(out) {}
  ~ChunkWriter() { flush(); }
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  // Room for `bytes` more characters at cursor().
  char* reserve(std::size_t bytes) {
    if (static_cast<std::size_t>(chunk_ + sizeof chunk_ - cursor_) < bytes) flush();
    return cursor_;
  }
  void advance(char* to) { cursor_ = to; }
  void flush() {
    out_.append(chunk_, cursor_);
    cursor_ = chunk_;
  }

 private:
  std::string& out_;
  char chunk_[1 << 15];
  char* cursor_ = chunk_;
};

// Upper bound of one written snapshot: the member names and punctuation, two
// doubles and one integer.
constexpr std::size_t kMaxSnapshotChars = 96 + 3 * kMaxNumberChars;

// Bytes of one snapshot in the written form with a typical timestamp; only
// used to size the output once.
constexpr std::size_t kTypicalSnapshotBytes = 96;

// Reads one snapshot into `snapshot`; on failure describes it in `error`.
bool decodeSnapshot(simdjson::dom::element element, BatterySnapshot& snapshot, std::string& error) {
  simdjson::dom::object object;
  if (element.get_object().get(object)) {
    error = "a snapshot is not an object";
    return false;
  }
  bool seenTimestamp = false, seenPercent = false, seenCharging = false, seenBrightness = false;
  for (const auto field : object) {
    json::ValueError problem = json::ValueError::none;
    if (field.key == "timestamp") {
      problem = json::readNumber(field.value, snapshot.timestamp);
      seenTimestamp = true;
    } else if (field.key == "batteryPercent") {
      problem = json::readWholeNumber(field.value, snapshot.batteryPercent);
      seenPercent = true;
    } else if (field.key == "isCharging") {
      problem = json::readFlag(field.value, snapshot.isCharging);
      seenCharging = true;
    } else if (field.key == "screenBrightness") {
      double brightness = 0.0;
      problem = json::readNumber(field.value, brightness);
      // Converting a double outside the float range is undefined; such a
      // value has no float form, so the record is malformed.
      if (problem == json::ValueError::none &&
          std::abs(brightness) > std::numeric_limits<float>::max()) {
        error = "\"screenBrightness\" does not fit in a 32-bit float";
        return false;
      }
      snapshot.screenBrightness = static_cast<float>(brightness);
      seenBrightness = true;
    }
    if (problem != json::ValueError::none) {
      error = json::describe(problem, field.key);
      return false;
    }
  }
  if (seenTimestamp && seenPercent && seenCharging && seenBrightness) return true;
  error = json::missing(!seenTimestamp  ? "timestamp"
                        : !seenPercent  ? "batteryPercent"
                        : !seenCharging ? "isCharging"
                                        : "screenBrightness");
  return false;
}

PredictionDecodeResult decodeRoot(simdjson::simdjson_result<simdjson::dom::element> parsed) {
  simdjson::dom::element root;
  if (const auto error = std::move(parsed).get(root)) return {std::nullopt, json::notJson(error)};
  simdjson::dom::object object;
  if (root.get_object().get(object)) return {std::nullopt, "the top level is not an object"};

  PredictionData data;
  bool seenSnapshots = false, seenDays = false, seenAccuracy = false;
  for (const auto field : object) {
    json::ValueError problem = json::ValueError::none;
    if (field.key == "snapshots") {
      simdjson::dom::array array;
      if (field.value.get_array().get(array))
        return {std::nullopt, "\"snapshots\" is not an array"};
      data.snapshots.clear();
      data.snapshots.reserve(array.size());
      for (const auto element : array) {
        // Decoded in place: the list holds some 86,400 of them.
        BatterySnapshot& snapshot = data.snapshots.emplace_back();
        std::string error;
        if (!decodeSnapshot(element, snapshot, error)) {
          return {std::nullopt,
                  "snapshot " + std::to_string(data.snapshots.size() - 1) + ": " + error};
        }
      }
      seenSnapshots = true;
    } else if (field.key == "lastTrainingDate") {
      if (field.value.is_null()) {
        data.lastTrainingDate.reset();
      } else {
        double date = 0.0;
        problem = json::readNumber(field.value, date);
        data.lastTrainingDate = date;
      }
    } else if (field.key == "daysCollected") {
      problem = json::readWholeNumber(field.value, data.daysCollected);
      seenDays = true;
    } else if (field.key == "accuracyScore") {
      problem = json::readNumber(field.value, data.accuracyScore);
      seenAccuracy = true;
    }
    if (problem != json::ValueError::none) {
      return {std::nullopt, json::describe(problem, field.key)};
    }
  }
  if (!seenSnapshots) return {std::nullopt, json::missing("snapshots")};
  if (!seenDays) return {std::nullopt, json::missing("daysCollected")};
  if (!seenAccuracy) return {std::nullopt, json::missing("accuracyScore")};
  return {std::move(data), {}};
}

}  // namespace

double BatterySnapshot::minutesSinceEpoch() const {
  return (timestamp + kUnixToReferenceSeconds) / 60.0;
}

void PredictionData::addSnapshot(const BatterySnapshot& snapshot, WallTime now) {
  snapshots.push_back(snapshot);
  const double cutoff = now - kRetentionSeconds;
  const double latest = now + kFutureToleranceSeconds;
  std::erase_if(snapshots, [cutoff, latest](const BatterySnapshot& s) {
    return !(s.timestamp > cutoff && s.timestamp <= latest);
  });
}

void PredictionData::incrementDayCollected() {
  if (daysCollected < std::numeric_limits<std::int64_t>::max()) ++daysCollected;
}

bool encodePredictionDataInto(const PredictionData& data, std::string& out) {
  out.clear();
  out.reserve(64 + data.snapshots.size() * kTypicalSnapshotBytes);
  ChunkWriter writer(out);
  char* at = writer.reserve(64);
  at = writeLiteral(at, "{\"snapshots\":[");
  // Every snapshot the predictor writes has the same brightness: format it once.
  float lastBrightness = 0.5F;
  char brightnessText[kMaxNumberChars];
  std::size_t brightnessLength =
      static_cast<std::size_t>(writeDouble(brightnessText, 0.5) - brightnessText);
  bool first = true;
  for (const BatterySnapshot& snapshot : data.snapshots) {
    if (!std::isfinite(snapshot.timestamp) || !std::isfinite(snapshot.screenBrightness)) {
      return false;
    }
    writer.advance(at);
    at = writer.reserve(kMaxSnapshotChars);
    if (!first) *at++ = ',';
    first = false;
    at = writeLiteral(at, "{\"timestamp\":");
    at = writeDouble(at, snapshot.timestamp);
    at = writeLiteral(at, ",\"batteryPercent\":");
    at = writeInteger(at, snapshot.batteryPercent);
    at = snapshot.isCharging ? writeLiteral(at, ",\"isCharging\":true")
                             : writeLiteral(at, ",\"isCharging\":false");
    at = writeLiteral(at, ",\"screenBrightness\":");
    // Written as the float's exact double value, so reading it back as a
    // double and narrowing gives the same float.
    if (std::bit_cast<std::uint32_t>(snapshot.screenBrightness) !=
        std::bit_cast<std::uint32_t>(lastBrightness)) {
      lastBrightness = snapshot.screenBrightness;
      brightnessLength = static_cast<std::size_t>(
          writeDouble(brightnessText, static_cast<double>(lastBrightness)) - brightnessText);
    }
    std::memcpy(at, brightnessText, brightnessLength);
    at += brightnessLength;
    *at++ = '}';
  }
  writer.advance(at);
  at = writer.reserve(128 + 3 * kMaxNumberChars);
  *at++ = ']';
  if (data.lastTrainingDate) {
    if (!std::isfinite(*data.lastTrainingDate)) return false;
    at = writeLiteral(at, ",\"lastTrainingDate\":");
    at = writeDouble(at, *data.lastTrainingDate);
  }
  at = writeLiteral(at, ",\"daysCollected\":");
  at = writeInteger(at, data.daysCollected);
  if (!std::isfinite(data.accuracyScore)) return false;
  at = writeLiteral(at, ",\"accuracyScore\":");
  at = writeDouble(at, data.accuracyScore);
  *at++ = '}';
  writer.advance(at);
  return true;
}

std::optional<std::string> encodePredictionData(const PredictionData& data) {
  std::string out;
  if (!encodePredictionDataInto(data, out)) return std::nullopt;
  return out;
}

PredictionDecodeResult decodePredictionData(std::string_view text) {
  simdjson::dom::parser parser;
  return decodeRoot(parser.parse(text.data(), text.size()));
}

PredictionDecodeResult decodePredictionDataBuffer(const std::string& text) {
  simdjson::dom::parser parser;
  return decodeRoot(parser.parse(text));
}

}  // namespace kestrine
