#include "prediction/prediction_data.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "settings/file_store.h"
#include "settings/json_reading.h"

static_assert(kestrine::kReadSlack >= simdjson::SIMDJSON_PADDING,
              "readWholeFile must leave room for the parser to read ahead");

namespace kestrine {

namespace {

// Shortest text that reads back to the same double. From 1e18 on, the
// shortest form may be a long run of digits without point or exponent, which
// readers take for an integer and refuse beyond 64 bits; the exponent form
// avoids that and is no longer.
// Negative zero needs its point too: "-0" reads back as the integer 0.
void appendDouble(std::string& out, double value) {
  if (value == 0.0 && std::signbit(value)) {
    out += "-0.0";
    return;
  }
  char buffer[32];
  const auto result =
      std::abs(value) >= 1e18
          ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific)
          : std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void appendInteger(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// Bytes of one snapshot in the written form, with a typical timestamp; only
// used to size the output buffer once.
constexpr std::size_t kTypicalSnapshotBytes = 96;

std::optional<std::string> decodeSnapshot(simdjson::dom::element element,
                                          BatterySnapshot& snapshot) {
  simdjson::dom::object object;
  if (element.get_object().get(object)) return "a snapshot is not an object";
  bool seenTimestamp = false, seenPercent = false, seenCharging = false, seenBrightness = false;
  for (const auto field : object) {
    std::optional<std::string> error;
    if (field.key == "timestamp") {
      error = json::readNumber(field.value, field.key, snapshot.timestamp);
      seenTimestamp = true;
    } else if (field.key == "batteryPercent") {
      error = json::readWholeNumber(field.value, field.key, snapshot.batteryPercent);
      seenPercent = true;
    } else if (field.key == "isCharging") {
      error = json::readFlag(field.value, field.key, snapshot.isCharging);
      seenCharging = true;
    } else if (field.key == "screenBrightness") {
      double brightness = 0.0;
      error = json::readNumber(field.value, field.key, brightness);
      // Converting a double outside the float range is undefined; such a
      // value has no float form, so the record is malformed.
      if (!error && std::abs(brightness) > std::numeric_limits<float>::max()) {
        error = "\"screenBrightness\" does not fit in a 32-bit float";
      }
      snapshot.screenBrightness = static_cast<float>(brightness);
      seenBrightness = true;
    }
    if (error) return error;
  }
  if (!seenTimestamp) return json::missing("timestamp");
  if (!seenPercent) return json::missing("batteryPercent");
  if (!seenCharging) return json::missing("isCharging");
  if (!seenBrightness) return json::missing("screenBrightness");
  return std::nullopt;
}

PredictionDecodeResult decodeRoot(simdjson::simdjson_result<simdjson::dom::element> parsed) {
  simdjson::dom::element root;
  if (const auto error = std::move(parsed).get(root)) return {std::nullopt, json::notJson(error)};
  simdjson::dom::object object;
  if (root.get_object().get(object)) return {std::nullopt, "the top level is not an object"};

  PredictionData data;
  bool seenSnapshots = false, seenDays = false, seenAccuracy = false;
  for (const auto field : object) {
    std::optional<std::string> error;
    if (field.key == "snapshots") {
      simdjson::dom::array array;
      if (field.value.get_array().get(array)) {
        error = "\"snapshots\" is not an array";
      } else {
        data.snapshots.clear();
        data.snapshots.reserve(array.size());
        for (const auto element : array) {
          BatterySnapshot snapshot;
          error = decodeSnapshot(element, snapshot);
          if (error) {
            *error = "snapshot " + std::to_string(data.snapshots.size()) + ": " + *error;
            break;
          }
          data.snapshots.push_back(snapshot);
        }
      }
      seenSnapshots = true;
    } else if (field.key == "lastTrainingDate") {
      if (field.value.is_null()) {
        data.lastTrainingDate.reset();
      } else {
        double date = 0.0;
        error = json::readNumber(field.value, field.key, date);
        data.lastTrainingDate = date;
      }
    } else if (field.key == "daysCollected") {
      error = json::readWholeNumber(field.value, field.key, data.daysCollected);
      seenDays = true;
    } else if (field.key == "accuracyScore") {
      error = json::readNumber(field.value, field.key, data.accuracyScore);
      seenAccuracy = true;
    }
    if (error) return {std::nullopt, std::move(*error)};
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
  std::erase_if(snapshots, [cutoff](const BatterySnapshot& s) { return !(s.timestamp > cutoff); });
}

void PredictionData::incrementDayCollected() {
  if (daysCollected < std::numeric_limits<std::int64_t>::max()) ++daysCollected;
}

std::optional<std::string> encodePredictionData(const PredictionData& data) {
  std::string out;
  out.reserve(64 + data.snapshots.size() * kTypicalSnapshotBytes);
  out += "{\"snapshots\":[";
  bool first = true;
  for (const BatterySnapshot& snapshot : data.snapshots) {
    if (!std::isfinite(snapshot.timestamp) || !std::isfinite(snapshot.screenBrightness)) {
      return std::nullopt;
    }
    out += first ? "{\"timestamp\":" : ",{\"timestamp\":";
    first = false;
    appendDouble(out, snapshot.timestamp);
    out += ",\"batteryPercent\":";
    appendInteger(out, snapshot.batteryPercent);
    out += snapshot.isCharging ? ",\"isCharging\":true" : ",\"isCharging\":false";
    out += ",\"screenBrightness\":";
    // Written as the float's exact double value, so reading it back as a
    // double and narrowing gives the same float.
    appendDouble(out, static_cast<double>(snapshot.screenBrightness));
    out += '}';
  }
  out += ']';
  if (data.lastTrainingDate) {
    if (!std::isfinite(*data.lastTrainingDate)) return std::nullopt;
    out += ",\"lastTrainingDate\":";
    appendDouble(out, *data.lastTrainingDate);
  }
  out += ",\"daysCollected\":";
  appendInteger(out, data.daysCollected);
  if (!std::isfinite(data.accuracyScore)) return std::nullopt;
  out += ",\"accuracyScore\":";
  appendDouble(out, data.accuracyScore);
  out += '}';
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
