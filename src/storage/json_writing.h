#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

// Builds one compact JSON object, members in the order they are added: the
// settings, the setup memory and the virtual laptop's events and reports.
class JsonObject {
 public:
  JsonObject& add(std::string_view key, std::string_view value);
  JsonObject& add(std::string_view key, const char* value) {
    return add(key, std::string_view(value));
  }
  JsonObject& add(std::string_view key, std::int64_t value);
  JsonObject& add(std::string_view key, int value) { return add(key, std::int64_t{value}); }
  JsonObject& add(std::string_view key, bool value);
  JsonObject& addNumber(std::string_view key, double value, int decimals);
  JsonObject& add(std::string_view key, const std::vector<std::string>& values);
  JsonObject& addRaw(std::string_view key, std::string_view json);
  std::string str() const { return text_ + "}"; }

 private:
  void key(std::string_view key);
  std::string text_ = "{";
};

// A JSON string literal for `text`. In a text that is not valid UTF-8 every
// byte from 0x80 on becomes U+FFFD, so that the result always is.
std::string jsonString(std::string_view text);

}  // namespace kestrine
