// The learning file: whatever decodes must encode, and the encoding must read
// back bit for bit. Numbers are written in their shortest exact form, so two
// equal texts mean equal bits, negative zero included. The reader works in
// pieces: it must take a text exactly when simdjson takes the whole as JSON
// (a decoded record is JSON; "not valid JSON" is said of no JSON), and give
// the same whatever the size of the pieces it is handed.
#include <simdjson.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "prediction/prediction_data.h"
#include "support/prediction_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kestrine::PredictionDecodeResult first = kestrine::decodePredictionData(text);
  simdjson::dom::parser parser;
  const bool json = !parser.parse(text.data(), text.size()).error();
  if (first.data ? !json : (json && first.error.starts_with("not valid JSON"))) std::abort();
  std::string_view rest = text;
  const kestrine::PredictionDecodeResult inPieces =
      kestrine::decodePredictionData([&rest](char* into, std::size_t room) {
        const std::size_t count = std::min({room, rest.size(), std::size_t{3}});
        std::memcpy(into, rest.data(), count);
        rest.remove_prefix(count);
        return static_cast<std::ptrdiff_t>(count);
      });
  if (inPieces.data != first.data || inPieces.error != first.error) std::abort();
  if (!first.data) return 0;
  const auto encoded = kestrine::encodePredictionData(*first.data);
  if (!encoded) std::abort();
  const kestrine::PredictionDecodeResult again = kestrine::decodePredictionData(*encoded);
  if (!again.data) std::abort();
  const auto reencoded = kestrine::encodePredictionData(*again.data);
  if (!reencoded || *reencoded != *encoded) std::abort();
  return 0;
}
