#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "storage/json_writing.h"

namespace kestrine::testing {

// The compact JSON object of `members` (name and value text, in order) with
// `member`'s value replaced, or the member left out when `value` is empty.
inline std::string objectWith(
    std::initializer_list<std::pair<std::string_view, std::string_view>> members,
    std::string_view member, std::string_view value) {
  JsonObject object;
  for (const auto& [name, original] : members) {
    if (name != member || !value.empty()) object.addRaw(name, name == member ? value : original);
  }
  return object.str();
}

}  // namespace kestrine::testing
