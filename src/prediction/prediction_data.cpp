#include "prediction/prediction_data.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "storage/json_reading.h"

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
// sink in large pieces: far cheaper than writing field by field.
class ChunkWriter {
 public:
  explicit ChunkWriter(PredictionSink& out) : out_(out) {}
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  // Room for `bytes` more characters at cursor().
  char* reserve(std::size_t bytes) {
    if (static_cast<std::size_t>(chunk_ + sizeof chunk_ - cursor_) < bytes) flush();
    return cursor_;
  }
  void advance(char* to) { cursor_ = to; }
  // False once the sink has failed.
  bool flush() {
    if (cursor_ != chunk_) {
      ok_ = ok_ && out_.write({chunk_, static_cast<std::size_t>(cursor_ - chunk_)});
    }
    cursor_ = chunk_;
    return ok_;
  }

 private:
  PredictionSink& out_;
  char chunk_[1 << 15];
  char* cursor_ = chunk_;
  bool ok_ = true;
};

// Upper bound of one written snapshot: the member names and punctuation, two
// doubles and one integer.
constexpr std::size_t kMaxSnapshotChars = 96 + 3 * kMaxNumberChars;

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

}  // namespace

namespace {

// Writes the samples of `data` from `from` on, then the tail; `first` when
// no sample came before them in the text. Calls note(snapshot, length) with
// the length of each sample's text, without the comma before it.
template <class Note>
bool writeSamplesAndTail(const PredictionData& data, std::size_t from, bool first,
                         ChunkWriter& writer, Note note) {
  SnapshotWriter snapshots;
  for (std::size_t i = from; i < data.snapshots.size(); ++i) {
    char* start = writer.reserve(kMaxSnapshotChars);
    char* end = snapshots.write(start, data.snapshots[i], first);
    if (end == nullptr) return false;
    note(data.snapshots[i], static_cast<std::size_t>(end - start) - (first ? 0 : 1));
    writer.advance(end);
    first = false;
  }
  char* end = writeTail(writer.reserve(kMaxTailChars), data);
  if (end == nullptr) return false;
  writer.advance(end);
  return writer.flush();
}

}  // namespace

bool encodable(const PredictionData& data) {
  return std::all_of(data.snapshots.begin(), data.snapshots.end(),
                     [](const BatterySnapshot& s) {
                       return std::isfinite(s.timestamp) && std::isfinite(s.screenBrightness);
                     }) &&
         (!data.lastTrainingDate || std::isfinite(*data.lastTrainingDate)) &&
         std::isfinite(data.accuracyScore);
}

std::optional<IncrementalPredictionEncoder::Written> IncrementalPredictionEncoder::remember(
    const BatterySnapshot& snapshot, std::size_t length) {
  if (snapshot.batteryPercent < std::numeric_limits<std::int16_t>::min() ||
      snapshot.batteryPercent > std::numeric_limits<std::int16_t>::max() ||
      length > std::numeric_limits<std::uint8_t>::max()) {
    return std::nullopt;
  }
  return Written{std::bit_cast<std::uint64_t>(snapshot.timestamp),
                 std::bit_cast<std::uint32_t>(snapshot.screenBrightness),
                 static_cast<std::int16_t>(snapshot.batteryPercent), snapshot.isCharging,
                 static_cast<std::uint8_t>(length)};
}

// The same bits: unlike ==, tells 0.0 from -0.0, which are written differently.
bool IncrementalPredictionEncoder::same(const Written& written, const BatterySnapshot& snapshot) {
  return written.timestamp == std::bit_cast<std::uint64_t>(snapshot.timestamp) &&
         written.percent == snapshot.batteryPercent && written.charging == snapshot.isCharging &&
         written.brightness == std::bit_cast<std::uint32_t>(snapshot.screenBrightness);
}

bool IncrementalPredictionEncoder::write(const PredictionData& data, PredictionSink& sink) {
  const std::vector<BatterySnapshot>& now = data.snapshots;
  const std::size_t held = written_.size();
  // The record as last written, less some of its oldest samples, followed by
  // new ones: find how many of the oldest went, and check that the rest are
  // unchanged. Anything else is written afresh.
  std::size_t dropped = held;
  if (!now.empty()) {
    for (std::size_t d = 0; d < held; ++d) {
      if (same(written_[d], now.front())) {
        dropped = d;
        break;
      }
    }
  }
  bool reusable = held - dropped <= now.size() &&
                  std::equal(written_.begin() + static_cast<std::ptrdiff_t>(dropped),
                             written_.end(), now.begin(), same);
  if (!reusable) {
    forget();
    dropped = 0;
  }
  std::size_t droppedBytes = 0;
  for (std::size_t d = 0; d < dropped; ++d) droppedBytes += written_[d].length + std::size_t{1};
  written_.erase(written_.begin(), written_.begin() + static_cast<std::ptrdiff_t>(dropped));
  const std::size_t kept = written_.size();

  ChunkWriter writer(sink);
  const std::size_t head = kHead.size();
  std::memcpy(writer.reserve(head), kHead.data(), head);
  writer.advance(writer.reserve(head) + head);
  // The kept samples as they stand in the previous text, from the first
  // one's opening brace to the last one's closing brace.
  bool ok = kept == 0 || (writer.flush() &&
                          sink.copyPrevious(head + droppedBytes, bodyBytes_ - droppedBytes - 1));
  bodyBytes_ -= droppedBytes;
  bool remembered = true;
  ok = ok && writeSamplesAndTail(data, kept, kept == 0, writer,
                                 [&](const BatterySnapshot& snapshot, std::size_t length) {
                                   const auto written = remember(snapshot, length);
                                   if (!written) remembered = false;
                                   if (!remembered) return;
                                   written_.push_back(*written);
                                   bodyBytes_ += length + 1;
                                 });
  if (!ok || !remembered) forget();
  return ok;
}

void IncrementalPredictionEncoder::forget() {
  written_.clear();
  written_.shrink_to_fit();
  bodyBytes_ = 0;
}

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where a number, true, false or null ends.
bool endsScalar(char c) {
  return isSpace(c) || c == ',' || c == ':' || c == '}' || c == ']' || c == '{' || c == '[' ||
         c == '"';
}

// Reads a record in pieces. The text is split at the record's own structure
// (the top-level object, its members, and each sample of "snapshots"), and
// simdjson checks and reads each value, samples in batches of some 64 KB: a
// text is accepted exactly when the whole would be, as the pieces between the
// values are checked here (white space, commas, colons, braces, brackets).
class PieceDecoder {
 public:
  PieceDecoder(const TextReader& read, std::size_t sizeHint) : read_(read), sizeHint_(sizeHint) {
    buffer_.resize(sizeHint != 0 ? std::min(kBufferBytes, sizeHint + 1) : kBufferBytes);
  }

  PredictionDecodeResult decode() {
    std::size_t i = skipSpace(0);
    if (!has(i)) return fail(simdjson::EMPTY);
    if (at(i) != '{') return topLevelNotObject(i);
    i = skipSpace(i + 1);
    if (has(i) && at(i) == '}') {
      i = i + 1;
    } else {
      while (true) {
        if (!has(i) || at(i) != '"') return fail(simdjson::TAPE_ERROR);
        const auto keyEnd = valueEnd(i);
        if (!keyEnd) return fail(simdjson::TAPE_ERROR);
        std::string key;
        if (const auto error = parse(i, *keyEnd)) return fail(error);
        if (element_.get_string().get(keyView_)) return fail(simdjson::TAPE_ERROR);
        key = keyView_;
        i = skipSpace(*keyEnd);
        if (!has(i) || at(i) != ':') return fail(simdjson::TAPE_ERROR);
        i = skipSpace(i + 1);
        const auto end = key == "snapshots" ? readSnapshots(i) : readMember(key, i);
        if (!end) return failed();
        i = skipSpace(*end);
        consume(i);
        i = 0;
        if (!has(i)) return fail(simdjson::TAPE_ERROR);
        if (at(i) == '}') {
          ++i;
          break;
        }
        if (at(i) != ',') return fail(simdjson::TAPE_ERROR);
        i = skipSpace(i + 1);
      }
    }
    if (has(skipSpace(i))) return fail(simdjson::TAPE_ERROR);
    if (readFailed_) return {std::nullopt, "the text could not be read to its end"};
    // Then the first required member, in this order, that never came.
    for (const auto& [name, present] :
         {std::pair{"snapshots", seenSnapshots_}, std::pair{"daysCollected", seenDays_},
          std::pair{"accuracyScore", seenAccuracy_}}) {
      if (!present) return {std::nullopt, json::missing(name)};
    }
    return {std::move(data_), {}};
  }

 private:
  static constexpr std::size_t kBufferBytes = std::size_t{256} << 10;
  static constexpr std::size_t kBatchBytes = std::size_t{64} << 10;
  // The shortest text of a sample: its four members, the smallest values.
  static constexpr std::size_t kShortestSampleBytes = 73;

  // --- the text, read on as far as it is looked at ------------------------
  // Positions count from the first byte not yet consumed.
  char at(std::size_t i) const { return buffer_[begin_ + i]; }
  bool has(std::size_t i) {
    while (begin_ + i >= end_) {
      if (!readMore()) return false;
    }
    return true;
  }
  bool readMore() {
    if (atEnd_) return false;
    if (end_ == buffer_.size()) {
      if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
      } else {
        buffer_.resize(buffer_.size() * 2);  // one value larger than the buffer
      }
    }
    const std::ptrdiff_t got = read_(buffer_.data() + end_, buffer_.size() - end_);
    if (got <= 0) {
      atEnd_ = true;
      readFailed_ = got < 0;
      return false;
    }
    end_ += static_cast<std::size_t>(got);
    return true;
  }
  void consume(std::size_t count) { begin_ += count; }
  // The first position from `i` on whose byte `stop` takes, reading on as
  // needed; absent at the end of the text. A tight loop over what is read:
  // the month's 8 MB pass through it.
  template <class Stop>
  std::optional<std::size_t> scan(std::size_t i, Stop stop) {
    while (true) {
      const char* first = buffer_.data() + begin_;
      const char* last = buffer_.data() + end_;
      for (const char* c = first + i; c < last; ++c) {
        if (stop(*c)) return static_cast<std::size_t>(c - first);
      }
      i = end_ - begin_;
      if (!readMore()) return std::nullopt;
    }
  }
  // The first position from `i` on that is not white space, or the end.
  std::size_t skipSpace(std::size_t i) {
    return scan(i, [](char c) { return !isSpace(c); }).value_or(end_ - begin_);
  }
  // Where the value starting at `i` ends, if it is well formed; a malformed
  // one ends somewhere that simdjson then refuses.
  std::optional<std::size_t> valueEnd(std::size_t i) {
    if (!has(i)) return std::nullopt;
    const char open = at(i);
    if (open != '"' && open != '{' && open != '[') {
      const std::size_t end = scan(i, endsScalar).value_or(end_ - begin_);
      return end == i ? std::nullopt : std::optional(end);
    }
    std::size_t depth = open == '"' ? 0 : 1;
    bool inString = open == '"';
    bool escaped = false;
    const auto last = scan(i + 1, [&](char c) {
      if (inString) {
        if (escaped) {
          escaped = false;
        } else if (c == '\\') {
          escaped = true;
        } else if (c == '"') {
          inString = false;
          return depth == 0;
        }
        return false;
      }
      if (c == '"') {
        inString = true;
      } else if (c == '{' || c == '[') {
        ++depth;
      } else if (c == '}' || c == ']') {
        return --depth == 0;
      }
      return false;
    });
    if (!last) return std::nullopt;
    return *last + 1;
  }

  // --- values, checked and read by simdjson ----------------------------------
  // Parses the text from `from` to `to`, wrapped in `open` and `close` when
  // given, into element_.
  simdjson::error_code parse(std::size_t from, std::size_t to, char open = 0, char close = 0) {
    piece_.clear();
    piece_.reserve(to - from + 2 + simdjson::SIMDJSON_PADDING);
    if (open != 0) piece_ += open;
    piece_.append(buffer_.data() + begin_ + from, to - from);
    if (close != 0) piece_ += close;
    return parser_.parse(piece_).get(element_);
  }

  PredictionDecodeResult fail(simdjson::error_code error) {
    if (readFailed_) return {std::nullopt, "the text could not be read to its end"};
    return {std::nullopt, json::notJson(error)};
  }
  PredictionDecodeResult failed() { return {std::nullopt, std::move(error_)}; }
  std::nullopt_t failWith(simdjson::error_code error) {
    error_ = fail(error).error;
    return std::nullopt;
  }

  PredictionDecodeResult topLevelNotObject(std::size_t i) {
    const auto end = valueEnd(i);
    if (!end) return fail(simdjson::TAPE_ERROR);
    if (const auto error = parse(i, *end)) return fail(error);
    if (has(skipSpace(*end))) return fail(simdjson::TAPE_ERROR);
    return {std::nullopt, "the top level is not an object"};
  }

  // A member other than "snapshots", starting at `i`; where it ends.
  std::optional<std::size_t> readMember(const std::string& key, std::size_t i) {
    const auto end = valueEnd(i);
    if (!end) return failWith(simdjson::TAPE_ERROR);
    if (const auto error = parse(i, *end)) return failWith(error);
    bool read = true;
    if (key == "lastTrainingDate") {
      if (element_.is_null()) {
        data_.lastTrainingDate.reset();
      } else {
        double date = 0.0;
        const json::ValueError problem = json::readNumber(element_, date);
        data_.lastTrainingDate = date;
        read = json::accept(problem, key, error_);
      }
    } else if (key == "daysCollected") {
      seenDays_ = true;
      read = json::accept(json::readWholeNumber(element_, data_.daysCollected), key, error_);
    } else if (key == "accuracyScore") {
      seenAccuracy_ = true;
      read = json::accept(json::readNumber(element_, data_.accuracyScore), key, error_);
    }
    if (!read) return std::nullopt;
    return end;
  }

  // The value of "snapshots", starting at `i`; where it ends.
  std::optional<std::size_t> readSnapshots(std::size_t i) {
    seenSnapshots_ = true;
    if (!has(i) || at(i) != '[') {
      const auto end = valueEnd(i);
      if (!end) return failWith(simdjson::TAPE_ERROR);
      if (const auto error = parse(i, *end)) return failWith(error);
      error_ = "\"snapshots\" is not an array";
      return std::nullopt;
    }
    data_.snapshots.clear();
    if (sizeHint_ != 0) data_.snapshots.reserve(sizeHint_ / kShortestSampleBytes + 1);
    consume(i + 1);
    i = skipSpace(0);
    if (has(i) && at(i) == ']') return i + 1;
    // Each batch runs from a sample's start to another's end.
    std::size_t batch = i;
    while (true) {
      const auto end = valueEnd(i);
      if (!end) return failWith(simdjson::TAPE_ERROR);
      const std::size_t next = skipSpace(*end);
      if (!has(next) || (at(next) != ',' && at(next) != ']')) {
        return failWith(simdjson::TAPE_ERROR);
      }
      if (at(next) == ']' || *end - batch >= kBatchBytes) {
        if (!readSamples(batch, *end)) return std::nullopt;
        if (at(next) == ']') return next + 1;
        consume(next + 1);
        i = skipSpace(0);
        batch = i;
      } else {
        i = skipSpace(next + 1);
      }
    }
  }

  bool readSamples(std::size_t from, std::size_t to) {
    if (const auto error = parse(from, to, '[', ']')) {
      failWith(error);
      return false;
    }
    simdjson::dom::array samples;
    if (element_.get_array().get(samples)) return false;  // cannot be: it was parsed as one
    for (const auto element : samples) {
      // Decoded in place: the list holds some 86,400 of them.
      BatterySnapshot& snapshot = data_.snapshots.emplace_back();
      std::string problem;
      if (!decodeSnapshot(element, snapshot, problem)) {
        error_ = "snapshot " + std::to_string(data_.snapshots.size() - 1) + ": " + problem;
        return false;
      }
    }
    return true;
  }

  const TextReader& read_;
  std::size_t sizeHint_;
  std::string buffer_;
  std::size_t begin_ = 0;  // the first byte not yet consumed
  std::size_t end_ = 0;    // the end of what was read
  bool atEnd_ = false;
  bool readFailed_ = false;
  simdjson::dom::parser parser_;
  std::string piece_;
  simdjson::dom::element element_;
  std::string_view keyView_;
  std::string error_;
  PredictionData data_;
  bool seenSnapshots_ = false;
  bool seenDays_ = false;
  bool seenAccuracy_ = false;
};

}  // namespace

PredictionDecodeResult decodePredictionData(const TextReader& read, std::size_t sizeHint) {
  return PieceDecoder(read, sizeHint).decode();
}

PredictionDecodeResult decodePredictionData(std::string_view text) {
  return decodePredictionData(
      [&text](char* into, std::size_t room) {
        const std::size_t count = std::min(room, text.size());
        std::memcpy(into, text.data(), count);
        text.remove_prefix(count);
        return static_cast<std::ptrdiff_t>(count);
      },
      text.size());
}

}  // namespace kestrine
