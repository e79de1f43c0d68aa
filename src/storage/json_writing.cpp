#include "storage/json_writing.h"

#include <cmath>
#include <cstdio>

#include "storage/utf8.h"

namespace kestrine {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  // Check validity once; invalid text is passed byte by byte with replacements.
  const bool valid = isValidUtf8(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else if (c >= 0x80 && !valid) {
          out += "\xEF\xBF\xBD";
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

void JsonObject::key(std::string_view k) {
  if (text_.size() > 1) text_ += ',';
  text_ += jsonString(k);
  text_ += ':';
}

JsonObject& JsonObject::add(std::string_view k, std::string_view value) {
  key(k);
  text_ += jsonString(value);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, std::int64_t value) {
  key(k);
  text_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool value) {
  key(k);
  text_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::addNumber(std::string_view k, double value, int decimals) {
  key(k);
  if (!std::isfinite(value)) {
    text_ += "null";
    return *this;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  text_ += buffer;
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, const std::vector<std::string>& values) {
  key(k);
  text_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text_ += ',';
    text_ += jsonString(values[i]);
  }
  text_ += ']';
  return *this;
}

JsonObject& JsonObject::addRaw(std::string_view k, std::string_view json) {
  key(k);
  text_ += json;
  return *this;
}

}  // namespace kestrine
