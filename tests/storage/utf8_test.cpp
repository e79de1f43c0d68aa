#include "storage/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrine {
namespace {

TEST(Utf8, AcceptsAndRejects) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain", true},
      {"\xC3\xA9", true},           // é
      {"\xF0\x9F\x94\x8B", true},   // battery emoji
      {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
      {"\xC3", false},              // cut short
      {"\x80", false},              // lone continuation
      {"\xC0\xAF", false},          // overlong '/'
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xFF", false},
      {std::string("a\0b", 3), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
}  // namespace kestrine
