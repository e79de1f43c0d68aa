#pragma once

// Strict readers for JSON values and objects, shared by the two record
// decoders.
// Internal to the core: it exposes simdjson types.
//
// The readers only classify: the learning file holds some 350,000 values, so
// the success path stays free of strings, and a description is built only
// for the one value that fails the read.

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace kestrine::json {

enum class ValueError {
  none,
  notNumber,
  notWholeNumber,  // a fraction or an exponent: "20.0", "2e1"
  beyondInt64,     // a whole number above INT64_MAX
  notTrueOrFalse,
};

// A JSON whole number that fits in a signed 64-bit integer: no fraction and no
// exponent, nothing above INT64_MAX.
inline ValueError readWholeNumber(simdjson::dom::element value, std::int64_t& out) {
  switch (value.type()) {
    case simdjson::dom::element_type::INT64:
      out = value.get_int64().value_unsafe();
      return ValueError::none;
    case simdjson::dom::element_type::UINT64:
      return ValueError::beyondInt64;
    case simdjson::dom::element_type::DOUBLE:
      return ValueError::notWholeNumber;
    default:
      return ValueError::notNumber;
  }
}

// Any JSON number, as the nearest double.
inline ValueError readNumber(simdjson::dom::element value, double& out) {
  switch (value.type()) {
    case simdjson::dom::element_type::DOUBLE:
      out = value.get_double().value_unsafe();
      return ValueError::none;
    case simdjson::dom::element_type::INT64:
      out = static_cast<double>(value.get_int64().value_unsafe());
      return ValueError::none;
    case simdjson::dom::element_type::UINT64:
      out = static_cast<double>(value.get_uint64().value_unsafe());
      return ValueError::none;
    default:
      return ValueError::notNumber;
  }
}

// A JSON true or false; 0 and 1 are numbers, not flags.
inline ValueError readFlag(simdjson::dom::element value, bool& out) {
  if (value.type() != simdjson::dom::element_type::BOOL) return ValueError::notTrueOrFalse;
  out = value.get_bool().value_unsafe();
  return ValueError::none;
}

// What is wrong with the member `name`.
inline std::string describe(ValueError error, std::string_view name) {
  std::string text = "\"" + std::string(name) + "\"";
  switch (error) {
    case ValueError::none:
      return text + " is fine";
    case ValueError::notNumber:
      return text + " is not a number";
    case ValueError::notWholeNumber:
      return text + " is not a whole number";
    case ValueError::beyondInt64:
      return text + " does not fit in a signed 64-bit integer";
    case ValueError::notTrueOrFalse:
      return text + " is not true or false";
  }
  return text;
}

inline std::string missing(std::string_view name) {
  return "member \"" + std::string(name) + "\" is missing";
}

// True when the value read; otherwise `error` says what is wrong with `name`.
inline bool accept(ValueError problem, std::string_view name, std::string& error) {
  if (problem == ValueError::none) return true;
  error = describe(problem, name);
  return false;
}

// One member a strict object may hold: its name, and `read`, called as
// read(value, error), which stores the value and returns true, or describes
// the fault in `error` and returns false.
template <class Read>
struct Member {
  std::string_view name;
  Read read;
  bool required;
};

template <class Read>
Member<Read> member(std::string_view name, Read read, bool required = true) {
  return Member<Read>{name, std::move(read), required};
}

inline auto wholeNumber(std::string_view name, std::int64_t& out) {
  return member(name, [name, &out](simdjson::dom::element value, std::string& error) {
    return accept(readWholeNumber(value, out), name, error);
  });
}

inline auto number(std::string_view name, double& out) {
  return member(name, [name, &out](simdjson::dom::element value, std::string& error) {
    return accept(readNumber(value, out), name, error);
  });
}

inline auto flag(std::string_view name, bool& out) {
  return member(name, [name, &out](simdjson::dom::element value, std::string& error) {
    return accept(readFlag(value, out), name, error);
  });
}

// Reads the members of `object` that `members` name, in the order they come;
// others are passed over, and a repeated one is read again. Fails on the first
// value that does not read, then on the first required member, in the order
// given, that never came; `error` says which.
template <class... Reads>
bool readMembers(simdjson::dom::object object, std::string& error, Member<Reads>... members) {
  std::array<bool, sizeof...(Reads)> seen{};
  for (const auto field : object) {
    std::size_t index = 0;
    bool read = true;
    const auto tryMember = [&](auto& member) {
      if (field.key != member.name) {
        ++index;
        return false;
      }
      seen[index] = true;
      read = member.read(field.value, error);
      return true;
    };
    (tryMember(members) || ...);
    if (!read) return false;
  }
  std::size_t index = 0;
  const auto present = [&](std::string_view name, bool required) {
    if (seen[index++] || !required) return true;
    error = missing(name);
    return false;
  };
  return (present(members.name, members.required) && ...);
}

inline std::string notJson(simdjson::error_code error) {
  return std::string("not valid JSON: ") + simdjson::error_message(error);
}

}  // namespace kestrine::json
