// The learning file: whatever decodes must encode, and the encoding must read
// back bit for bit. Numbers are written in their shortest exact form, so two
// equal texts mean equal bits, negative zero included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "prediction/prediction_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kestrine::PredictionDecodeResult first = kestrine::decodePredictionData(text);
  if (!first.data) return 0;
  const auto encoded = kestrine::encodePredictionData(*first.data);
  if (!encoded) std::abort();
  const kestrine::PredictionDecodeResult again = kestrine::decodePredictionData(*encoded);
  if (!again.data) std::abort();
  const auto reencoded = kestrine::encodePredictionData(*again.data);
  if (!reencoded || *reencoded != *encoded) std::abort();
  return 0;
}
