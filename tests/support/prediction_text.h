#pragma once

// A learning record's whole text in a string, for the tests, benchmarks and
// fuzzers that write learning files or compare them. The application never
// holds the text: it streams it through IncrementalPredictionEncoder.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "prediction/prediction_data.h"

namespace kestrine {

// The text the learning file holds for `data`; absent when the record holds a
// number JSON cannot express (infinity or not-a-number).
inline std::optional<std::string> encodePredictionData(const PredictionData& data) {
  class StringSink final : public PredictionSink {
   public:
    bool write(std::string_view piece) override {
      text += piece;
      return true;
    }
    // A fresh encoder has no previous text to copy from.
    bool copyPrevious(std::size_t, std::size_t) override { return false; }
    std::string text;
  } sink;
  IncrementalPredictionEncoder encoder;
  if (!encoder.write(data, sink)) return std::nullopt;
  return std::move(sink.text);
}

}  // namespace kestrine
