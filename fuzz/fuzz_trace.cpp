// The what-if battery traces (CSV).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sim/whatif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kestrine::sim::parseTrace(text, "fuzz.csv");
  return 0;
}
