#include "settings/config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>

#include "platform/fake/recording_console.h"
#include "support/json_text.h"
#include "support/temp_folder.h"

namespace kestrine {
namespace {

using ::kestrine::fake::RecordingConsole;
using namespace ::kestrine::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

constexpr std::string_view kDefaultsText =
    R"({"threshold":20,"notifications":true,"setupComplete":false,"useSmartMode":false,"smartModeTargetMinutes":60})";

// The defaults text with one member's value replaced, or the member left out
// when `value` is empty.
std::string withMember(std::string_view member, std::string_view value) {
  return objectWith({{"threshold", "20"},
                     {"notifications", "true"},
                     {"setupComplete", "false"},
                     {"useSmartMode", "false"},
                     {"smartModeTargetMinutes", "60"}},
                    member, value);
}

TEST(Config, WritesCompactJsonWithTheFiveMembers) {
  EXPECT_EQ(encodeConfig(Config{}), kDefaultsText);
  const Config other({.threshold = -5,
                      .notifications = false,
                      .setupComplete = true,
                      .useSmartMode = true,
                      .smartModeTargetMinutes = std::numeric_limits<std::int64_t>::min()});
  EXPECT_EQ(
      encodeConfig(other),
      R"({"threshold":-5,"notifications":false,"setupComplete":true,"useSmartMode":true,"smartModeTargetMinutes":-9223372036854775808})");
  const auto decoded = decodeConfig(encodeConfig(other));
  ASSERT_TRUE(decoded.config) << decoded.error;
  EXPECT_EQ(*decoded.config, other);
}

struct AcceptedCase {
  const char* name;
  const char* json;
  Config expected;
};

const AcceptedCase kAccepted[] = {
    {"AnyOrderWithOtherMembers",
     R"( { "smartModeTargetMinutes" : 45, "extra": [1, {"x": null}], "useSmartMode": true,
           "setupComplete": true, "notifications": false, "threshold": 30, "n": 1.5e3 } )",
     Config{.threshold = 30,
            .notifications = false,
            .setupComplete = true,
            .useSmartMode = true,
            .smartModeTargetMinutes = 45}},
    {"ThresholdAboveHundredUnchecked",
     R"({"threshold":150,"notifications":true,"setupComplete":false,"useSmartMode":false,"smartModeTargetMinutes":60})",
     Config{.threshold = 150}},
    {"LargestIntegers",
     R"({"threshold":9223372036854775807,"notifications":true,"setupComplete":false,"useSmartMode":false,"smartModeTargetMinutes":-9223372036854775808})",
     Config{.threshold = std::numeric_limits<std::int64_t>::max(),
            .smartModeTargetMinutes = std::numeric_limits<std::int64_t>::min()}},
};

TEST(Config, DecodesWhatIsAccepted) {
  for (const AcceptedCase& c : kAccepted) {
    const auto result = decodeConfig(c.json);
    ASSERT_TRUE(result.config) << c.name << ": " << result.error;
    EXPECT_EQ(*result.config, c.expected) << c.name;
  }
}
struct RejectedCase {
  const char* name;
  std::string json;
  const char* errorPart;
};

std::vector<RejectedCase> rejectedCases() {
  std::vector<RejectedCase> cases = {
      {"NotJson", "threshold=20", "not valid JSON"},
      {"InvalidUtf8InAnIgnoredMember",
       R"({"note":")" + std::string("\xff\xfe") + R"(",)" + std::string(kDefaultsText.substr(1)),
       "UTF-8"},
      {"TopLevelArray", "[" + std::string(kDefaultsText) + "]", "not an object"},
      {"ThresholdAsString", withMember("threshold", "\"20\""), "\"threshold\" is not a number"},
      {"ThresholdWithFraction", withMember("threshold", "20.0"), "not a whole number"},
      {"ThresholdAboveInt64", withMember("threshold", "9223372036854775808"),
       "does not fit in a signed 64-bit integer"},
      {"ThresholdBeyondUint64", withMember("threshold", "100000000000000000000000"),
       "not valid JSON"},
      {"TargetNull", withMember("smartModeTargetMinutes", "null"), "is not a number"},
      {"NotificationsAsOne", withMember("notifications", "1"), "\"notifications\" is not true"},
  };
  for (const char* member :
       {"threshold", "notifications", "setupComplete", "useSmartMode", "smartModeTargetMinutes"}) {
    cases.push_back({"Missing", withMember(member, ""), member});
  }
  return cases;
}

// Any fault fails the whole record.
TEST(Config, RefusesWhatIsNotAccepted) {
  for (const RejectedCase& c : rejectedCases()) {
    const auto result = decodeConfig(c.json);
    EXPECT_FALSE(result.config) << c.name;
    EXPECT_THAT(result.error, HasSubstr(c.errorPart)) << c.name;
  }
}
TEST(ConfigFile, MissingFileIsSilentAndCreatesNothing) {
  TempFolder home;
  fake::Recorder record;
  RecordingConsole console{&record};
  Config config{.threshold = 40};
  EXPECT_EQ(config.load(home.path(), console).outcome, ConfigLoadResult::Outcome::noFile);
  EXPECT_EQ(config, Config{.threshold = 40});
  EXPECT_THAT(record.all<fake::Printed>(), IsEmpty());
  EXPECT_THAT(home.entries(), IsEmpty());

  // A home that is itself missing is the same situation.
  config.load(home / "gone", console);
  EXPECT_THAT(record.all<fake::Printed>(), IsEmpty());
}

// Members other than the five are read past and gone after the next save.
TEST(ConfigFile, LoadThenSaveKeepsTheFiveMembersOnly) {
  TempFolder home;
  fake::Recorder record;
  RecordingConsole console{&record};
  EXPECT_EQ(Config::configPath(home.path()), home / ".kestrine_config.json");
  writeText(home / ".kestrine_config.json",
            R"({"legacy":true,)" + withMember("threshold", "50").substr(1));
  Config config;
  EXPECT_EQ(config.load(home.path(), console).outcome, ConfigLoadResult::Outcome::loaded);
  EXPECT_EQ(config, Config{.threshold = 50});
  EXPECT_EQ(config.save(home.path()), std::nullopt);
  EXPECT_EQ(readText(home / ".kestrine_config.json"), withMember("threshold", "50"));
  EXPECT_THAT(record.all<fake::Printed>(), IsEmpty());
  EXPECT_THAT(home.entries(), ElementsAre(".kestrine_config.json"));
}

// Nothing is taken from a file that fails, not even the members it has. A
// regular file is set aside as ".corrupt", out of reach of the next save; a
// link, a special file or a locked file stays where it is, untouched.
struct BrokenFile {
  const char* name;
  void (*plant)(const std::filesystem::path& file);
  const char* reason;  // in the printed line
  bool setAside;
};

const BrokenFile kBrokenFiles[] = {
    {"Decimal", [](const auto& f) { writeText(f, withMember("threshold", "35.0")); }, "threshold",
     true},
    {"TooLarge", [](const auto& f) { writeText(f, std::string(64 * 1024 + 1, ' ')); },
     "65537 bytes, more than the 65536 allowed", true},
    {"WriteOnly", [](const auto& f) { writeText(f, "{"), ::chmod(f.c_str(), 0200); },
     ".kestrine_config.json", true},
    {"LinkToText",
     [](const auto& f) {
       writeText(f.parent_path() / "notes", "notes");
       std::filesystem::create_symlink("notes", f);
     },
     "not valid JSON", false},
    {"Fifo", [](const auto& f) { ::mkfifo(f.c_str(), 0600); }, "not a regular file", false},
    {"Directory", [](const auto& f) { std::filesystem::create_directory(f); }, "Is a directory",
     false},
    {"Locked", [](const auto& f) { writeText(f, "{"), ::chmod(f.c_str(), 0444); }, "not valid JSON",
     false},
};

TEST(ConfigFile, FailedLoadKeepsTheFieldsPrintsOneLineAndKeepsTheFile) {
  for (const BrokenFile& c : kBrokenFiles) {
    TempFolder home;
    fake::Recorder record;
    RecordingConsole console{&record};
    const auto file = home / ".kestrine_config.json", kept = home / ".kestrine_config.json.corrupt";
    c.plant(file);
    const auto size = c.setAside ? std::filesystem::file_size(file) : 0;
    Config config{.threshold = 10, .notifications = false};
    const ConfigLoadResult result = config.load(home.path(), console);
    EXPECT_EQ(config, (Config{.threshold = 10, .notifications = false})) << c.name;
    EXPECT_EQ(result.outcome, ConfigLoadResult::Outcome::unreadable) << c.name;
    EXPECT_EQ(result.keptAt, c.setAside ? kept : file) << c.name;
    ASSERT_THAT(record.all<fake::Printed>(), SizeIs(1)) << c.name;
    EXPECT_THAT(record.all<fake::Printed>()[0].line, StartsWith("Failed to load config: "))
        << c.name;
    EXPECT_THAT(record.all<fake::Printed>()[0].line, HasSubstr(c.reason)) << c.name;
    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(file)), !c.setAside)
        << c.name;
    if (c.setAside) {
      EXPECT_EQ(std::filesystem::file_size(kept), size) << c.name;
    }
    EXPECT_EQ(std::filesystem::exists(kept), c.setAside) << c.name;
  }
}

// A locked file: the line, and nothing changed on disk.
TEST(ConfigFile, FailedSaveGivesTheLineAndLeavesTheFiles) {
  TempFolder home;
  const auto path = home / ".kestrine_config.json";
  writeText(path, kDefaultsText);
  ::chmod(path.c_str(), 0444);
  const std::optional<std::string> line = Config{.threshold = 80}.save(home.path());
  ASSERT_TRUE(line);
  EXPECT_THAT(*line, StartsWith("Failed to save config: "));
  EXPECT_THAT(*line, HasSubstr("Permission denied"));
  EXPECT_EQ(readText(path), kDefaultsText);
  EXPECT_THAT(home.entries(), ElementsAre(".kestrine_config.json"));
}

}  // namespace
}  // namespace kestrine
