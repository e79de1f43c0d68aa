#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace kestrine::sim {

// A parameterised case's name as CTest lists it: letters and digits, every run
// of anything else one underscore ("rm -f /tmp/x" -> "rm_f_tmp_x").
inline std::string caseName(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      out += c;
    } else if (!out.empty() && out.back() != '_') {
      out += '_';
    }
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

}  // namespace kestrine::sim
