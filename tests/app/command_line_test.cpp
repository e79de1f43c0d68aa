#include "app/command_line.h"

#include <gtest/gtest.h>

namespace kestrine {
namespace {

TEST(CommandLineTest, ReadsOneOptionAndRefusesTheRest) {
  struct Case {
    std::vector<std::string_view> arguments;
    Command command;
    std::string error;
  };
  for (const Case& c : {
           Case{{}, Command::kRun, ""},
           Case{{"--help"}, Command::kHelp, ""},
           Case{{"-h"}, Command::kHelp, ""},
           Case{{"--version"}, Command::kVersion, ""},
           Case{{"--quit"}, Command::kQuit, ""},
           Case{{"--quit=now"}, Command::kInvalid, "unknown argument '--quit=now'"},
           Case{{""}, Command::kInvalid, "unknown argument ''"},
           Case{{"--help", "--quit"}, Command::kInvalid, "too many arguments: '--quit'"},
       }) {
    const CommandLine line = parseCommandLine(c.arguments);
    EXPECT_EQ(line.command, c.command) << c.error;
    EXPECT_EQ(line.error, c.error);
  }
}

}  // namespace
}  // namespace kestrine
