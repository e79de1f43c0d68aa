#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "sim/case_name.h"
#include "sim/input_text.h"

namespace kestrine::sim {

// A malformed scenario or trace: its text, the line the error must name (0: the
// file as a whole) and a part of the message.
struct BadInput {
  const char* text;
  int line;
  const char* message;
};

inline void PrintTo(const BadInput& c, std::ostream* os) {
  *os << caseName("line" + std::to_string(c.line) + " " + c.message);
}

// The error names the case's line and says what the case expects.
inline void expectNamesLineAndProblem(const InputError& error, const BadInput& c) {
  EXPECT_EQ(error.line, c.line) << error.str();
  EXPECT_NE(error.message.find(c.message), std::string::npos) << error.str();
}

}  // namespace kestrine::sim
