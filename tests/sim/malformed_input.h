#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "sim/input_text.h"

namespace kestrine::sim {

// A malformed scenario or trace was refused naming `line` (0: the file as a
// whole) and saying `problem` in its message.
inline void expectNamesLineAndProblem(const InputError& error, int line, std::string_view problem) {
  EXPECT_EQ(error.line, line) << error.str();
  EXPECT_NE(error.message.find(problem), std::string::npos) << error.str();
}

}  // namespace kestrine::sim
