#include "storage/utf8.h"

#include <cstdint>
#include <cstring>

namespace kestrine {

bool isValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    // Reports are mostly ASCII: eight bytes at a time while none has its top bit.
    std::uint64_t word = 0;
    if (n - i >= sizeof word) {
      std::memcpy(&word, bytes.data() + i, sizeof word);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += sizeof word;
        continue;
      }
    }
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;   // bounds of the second byte, which rule out
    unsigned char high = 0xBF;  // overlong forms, surrogates and values past U+10FFFF
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      if (b0 == 0xE0) low = 0xA0;
      if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      if (b0 == 0xF0) low = 0x90;
      if (b0 == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i < length) return false;
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    if (b1 < low || b1 > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      const auto b = static_cast<unsigned char>(bytes[i + k]);
      if (b < 0x80 || b > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace kestrine
