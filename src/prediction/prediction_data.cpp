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
  return json::readMembers(
      object, error, json::number("timestamp", snapshot.timestamp),
      json::wholeNumber("batteryPercent", snapshot.batteryPercent),
      json::flag("isCharging", snapshot.isCharging),
      json::member(
          "screenBrightness", [&snapshot](simdjson::dom::element value, std::string& error) {
            double brightness = 0.0;
            if (!json::accept(json::readNumber(value, brightness), "screenBrightness", error)) {
              return false;
            }
            // Converting a double outside the float range is undefined; such a
            // value has no float form, so the record is malformed.
            if (std::abs(brightness) > std::numeric_limits<float>::max()) {
              error = "\"screenBrightness\" does not fit in a 32-bit float";
              return false;
            }
            snapshot.screenBrightness = static_cast<float>(brightness);
            return true;
          }));
}

PredictionDecodeResult decodeRoot(simdjson::simdjson_result<simdjson::dom::element> parsed) {
  simdjson::dom::element root;
  if (const auto error = std::move(parsed).get(root)) return {std::nullopt, json::notJson(error)};
  simdjson::dom::object object;
  if (root.get_object().get(object)) return {std::nullopt, "the top level is not an object"};

  PredictionData data;
  std::string error;
  const auto snapshots = [&data](simdjson::dom::element value, std::string& error) {
    simdjson::dom::array array;
    if (value.get_array().get(array)) {
      error = "\"snapshots\" is not an array";
      return false;
    }
    data.snapshots.clear();
    data.snapshots.reserve(array.size());
    for (const auto element : array) {
      // Decoded in place: the list holds some 86,400 of them.
      BatterySnapshot& snapshot = data.snapshots.emplace_back();
      std::string problem;
      if (!decodeSnapshot(element, snapshot, problem)) {
        error = "snapshot " + std::to_string(data.snapshots.size() - 1) + ": " + problem;
        return false;
      }
    }
    return true;
  };
  const auto lastTrainingDate = [&data](simdjson::dom::element value, std::string& error) {
    if (value.is_null()) {
      data.lastTrainingDate.reset();
      return true;
    }
    double date = 0.0;
    const json::ValueError problem = json::readNumber(value, date);
    data.lastTrainingDate = date;
    return json::accept(problem, "lastTrainingDate", error);
  };
  if (!json::readMembers(object, error, json::member("snapshots", snapshots),
                         json::member("lastTrainingDate", lastTrainingDate, false),
                         json::wholeNumber("daysCollected", data.daysCollected),
                         json::number("accuracyScore", data.accuracyScore))) {
    return {std::nullopt, error};
  }
  return {std::move(data), {}};
}

}  // namespace

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

namespace {

// Writes one snapshot as an object, with a comma before it unless it is the
// first. Every snapshot the predictor writes has the same brightness, so its
// text is formatted once and reused.
class SnapshotWriter {
 public:
  SnapshotWriter() { brightnessLength_ = length(writeDouble(brightnessText_, 0.5)); }

  // Returns null (writing nothing usable) for a number JSON cannot express.
  char* write(char* at, const BatterySnapshot& snapshot, bool first) {
    if (!std::isfinite(snapshot.timestamp) || !std::isfinite(snapshot.screenBrightness)) {
      return nullptr;
    }
    if (!first) *at++ = ',';
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
        std::bit_cast<std::uint32_t>(lastBrightness_)) {
      lastBrightness_ = snapshot.screenBrightness;
      brightnessLength_ =
          length(writeDouble(brightnessText_, static_cast<double>(lastBrightness_)));
    }
    std::memcpy(at, brightnessText_, brightnessLength_);
    at += brightnessLength_;
    *at++ = '}';
    return at;
  }

 private:
  std::size_t length(const char* end) const {
    return static_cast<std::size_t>(end - brightnessText_);
  }

  float lastBrightness_ = 0.5F;
  char brightnessText_[kMaxNumberChars];
  std::size_t brightnessLength_ = 0;
};

constexpr std::size_t kMaxTailChars = 128 + 3 * kMaxNumberChars;

// Everything after the snapshots: "]" and the other members, "}". Null for a
// number JSON cannot express.
char* writeTail(char* at, const PredictionData& data) {
  *at++ = ']';
  if (data.lastTrainingDate) {
    if (!std::isfinite(*data.lastTrainingDate)) return nullptr;
    at = writeLiteral(at, ",\"lastTrainingDate\":");
    at = writeDouble(at, *data.lastTrainingDate);
  }
  at = writeLiteral(at, ",\"daysCollected\":");
  at = writeInteger(at, data.daysCollected);
  if (!std::isfinite(data.accuracyScore)) return nullptr;
  at = writeLiteral(at, ",\"accuracyScore\":");
  at = writeDouble(at, data.accuracyScore);
  *at++ = '}';
  return at;
}

constexpr std::string_view kHead = "{\"snapshots\":[";

// The same bits: unlike ==, tells 0.0 from -0.0, which are written differently.
bool sameBits(const BatterySnapshot& a, const BatterySnapshot& b) {
  return std::bit_cast<std::uint64_t>(a.timestamp) == std::bit_cast<std::uint64_t>(b.timestamp) &&
         a.batteryPercent == b.batteryPercent && a.isCharging == b.isCharging &&
         std::bit_cast<std::uint32_t>(a.screenBrightness) ==
             std::bit_cast<std::uint32_t>(b.screenBrightness);
}

}  // namespace

bool encodePredictionDataInto(const PredictionData& data, std::string& out) {
  out.clear();
  out.reserve(64 + data.snapshots.size() * kTypicalSnapshotBytes);
  ChunkWriter writer(out);
  char* at = writer.reserve(64);
  at = writeLiteral(at, "{\"snapshots\":[");
  SnapshotWriter snapshots;
  bool first = true;
  for (const BatterySnapshot& snapshot : data.snapshots) {
    writer.advance(at);
    at = snapshots.write(writer.reserve(kMaxSnapshotChars), snapshot, first);
    if (at == nullptr) return false;
    first = false;
  }
  writer.advance(at);
  at = writeTail(writer.reserve(kMaxTailChars), data);
  if (at == nullptr) return false;
  writer.advance(at);
  return true;
}

bool IncrementalPredictionEncoder::update(const PredictionData& data) {
  const std::vector<BatterySnapshot>& now = data.snapshots;
  const std::size_t held = kept_.size() - keptFrom_;
  // The record as last written, less some of its oldest samples, followed by
  // new ones: find how many of the oldest went, and check that the rest are
  // unchanged. Anything else is written afresh.
  std::size_t dropped = held;
  if (!now.empty()) {
    for (std::size_t d = 0; d < held; ++d) {
      if (sameBits(kept_[keptFrom_ + d], now.front())) {
        dropped = d;
        break;
      }
    }
  }
  bool reusable = held - dropped <= now.size();
  for (std::size_t i = 0; reusable && i < held - dropped; ++i) {
    reusable = sameBits(kept_[keptFrom_ + dropped + i], now[i]);
  }
  if (!reusable) {
    reset();
    dropped = 0;
  }
  for (std::size_t d = 0; d < dropped; ++d) bodyFrom_ += lengths_[keptFrom_ + d];
  keptFrom_ += dropped;
  // Every snapshot is kept with the comma before it; the first one's is
  // skipped when the pieces are handed out.
  SnapshotWriter writer;
  char buffer[kMaxSnapshotChars];
  for (std::size_t i = kept_.size() - keptFrom_; i < now.size(); ++i) {
    char* end = writer.write(buffer, now[i], false);
    if (end == nullptr) {
      reset();
      return false;
    }
    const auto length = static_cast<std::size_t>(end - buffer);
    body_.append(buffer, length);
    kept_.push_back(now[i]);
    lengths_.push_back(static_cast<std::uint32_t>(length));
  }
  // The pruned front goes once it is the larger part.
  if (keptFrom_ > 0 && keptFrom_ >= kept_.size() / 2) {
    kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(keptFrom_));
    lengths_.erase(lengths_.begin(), lengths_.begin() + static_cast<std::ptrdiff_t>(keptFrom_));
    body_.erase(0, bodyFrom_);
    keptFrom_ = 0;
    bodyFrom_ = 0;
  }
  char tail[kMaxTailChars];
  char* end = writeTail(tail, data);
  if (end == nullptr) return false;
  tail_.assign(tail, end);
  return true;
}

std::array<std::string_view, 3> IncrementalPredictionEncoder::pieces() const {
  std::string_view body(body_);
  body.remove_prefix(std::min(body.size(), bodyFrom_ + 1));
  return {kHead, body, tail_};
}

void IncrementalPredictionEncoder::reset() {
  kept_.clear();
  lengths_.clear();
  body_.clear();
  keptFrom_ = 0;
  bodyFrom_ = 0;
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
