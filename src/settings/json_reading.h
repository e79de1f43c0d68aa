#pragma once

// Strict readers for single JSON values, shared by the two record decoders.
// Internal to the core: it exposes simdjson types.

#include <simdjson.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrine::json {

// A JSON whole number that fits in a signed 64-bit integer: no fraction and no
// exponent ("20.0" and "2e1" are not accepted), nothing above INT64_MAX.
inline std::optional<std::string> readWholeNumber(simdjson::dom::element value,
                                                  std::string_view name, std::int64_t& out) {
  switch (value.type()) {
    case simdjson::dom::element_type::INT64:
      out = value.get_int64().value_unsafe();
      return std::nullopt;
    case simdjson::dom::element_type::UINT64:
      return "\"" + std::string(name) + "\" does not fit in a signed 64-bit integer";
    case simdjson::dom::element_type::DOUBLE:
      return "\"" + std::string(name) + "\" is not a whole number";
    default:
      return "\"" + std::string(name) + "\" is not a number";
  }
}

// Any JSON number, as the nearest double.
inline std::optional<std::string> readNumber(simdjson::dom::element value, std::string_view name,
                                             double& out) {
  switch (value.type()) {
    case simdjson::dom::element_type::INT64:
      out = static_cast<double>(value.get_int64().value_unsafe());
      return std::nullopt;
    case simdjson::dom::element_type::UINT64:
      out = static_cast<double>(value.get_uint64().value_unsafe());
      return std::nullopt;
    case simdjson::dom::element_type::DOUBLE:
      out = value.get_double().value_unsafe();
      return std::nullopt;
    default:
      return "\"" + std::string(name) + "\" is not a number";
  }
}

// A JSON true or false; 0 and 1 are numbers, not flags.
inline std::optional<std::string> readFlag(simdjson::dom::element value, std::string_view name,
                                           bool& out) {
  if (value.type() != simdjson::dom::element_type::BOOL) {
    return "\"" + std::string(name) + "\" is not true or false";
  }
  out = value.get_bool().value_unsafe();
  return std::nullopt;
}

inline std::string missing(std::string_view name) {
  return "member \"" + std::string(name) + "\" is missing";
}

inline std::string notJson(simdjson::error_code error) {
  return std::string("not valid JSON: ") + simdjson::error_message(error);
}

}  // namespace kestrine::json
