// The settings file: whatever decodes must encode and decode to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kestrine::ConfigDecodeResult first = kestrine::decodeConfig(text);
  if (!first.config) return 0;
  const kestrine::ConfigDecodeResult again =
      kestrine::decodeConfig(kestrine::encodeConfig(*first.config));
  if (!again.config || !(*again.config == *first.config)) std::abort();
  return 0;
}
