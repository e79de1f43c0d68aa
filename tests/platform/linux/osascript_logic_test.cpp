#include "tools/osascript_logic.h"

#include <gtest/gtest.h>

namespace kestrine::tools {
namespace {

TEST(AdminScript, ReadsTheCommandAndThePrompt) {
  const auto script = parseAdminScript(
      "do shell script \"pmset -b lowpowermode 1\" with administrator privileges with prompt "
      "\"Kestrine needs your password to change Low Power Mode.\"");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->command, "pmset -b lowpowermode 1");
  EXPECT_EQ(script->prompt, "Kestrine needs your password to change Low Power Mode.");
}

TEST(AdminScript, UnescapesQuotesAndBackslashes) {
  const auto script = parseAdminScript(
      R"(do shell script "echo \"a\\b\" > /tmp/x" with administrator privileges with prompt "say \"hi\"")");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->command, R"(echo "a\b" > /tmp/x)");
  EXPECT_EQ(script->prompt, R"(say "hi")");
}

TEST(AdminScript, RefusesEveryOtherText) {
  const char* refused[] = {
      "",
      "display dialog \"hi\"",
      "do shell script \"true\"",
      "do shell script \"true\" with administrator privileges",
      "do shell script \"true\" with administrator privileges with prompt \"p\" and more",
      "do shell script \"true\" with administrator privileges with prompt \"unterminated",
      "do shell script \"\" with administrator privileges with prompt \"p\"",
      "do shell script \"bad \\x escape\" with administrator privileges with prompt \"p\"",
      "do  shell script \"true\" with administrator privileges with prompt \"p\"",
      " do shell script \"true\" with administrator privileges with prompt \"p\"",
  };
  for (const char* text : refused) EXPECT_FALSE(parseAdminScript(text)) << text;
}

TEST(AdminScript, CommandLineRunsTheCommandThroughPkexecWithTheToolPath) {
  EXPECT_EQ(privilegedCommandLine("/usr/bin/pkexec", "/usr/libexec/kestrine:/usr/bin",
                                  "pmset -b lowpowermode 1"),
            (std::vector<std::string>{
                "/usr/bin/pkexec", "/bin/sh", "-c",
                "PATH='/usr/libexec/kestrine:/usr/bin'; export PATH; pmset -b lowpowermode 1"}));
  // An apostrophe in the path cannot end the quoting early.
  EXPECT_EQ(privilegedCommandLine("/p", "/a'b", "true")[3], "PATH='/a'\\''b'; export PATH; true");
}

}  // namespace
}  // namespace kestrine::tools
