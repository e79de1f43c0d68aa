#include "settings/config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>
#include <ostream>

#include "platform/sim/recording_console.h"
#include "support/temp_folder.h"

namespace kestrine {
namespace {

using ::kestrine::sim::RecordingConsole;
using namespace ::kestrine::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

constexpr std::string_view kDefaultsText =
    R"({"threshold":20,"notifications":true,"setupComplete":false,"useSmartMode":false,"smartModeTargetMinutes":60})";

TEST(Config, DefaultsAndNamedValues) {
  const Config defaults;
  EXPECT_EQ(defaults.threshold, 20);
  EXPECT_TRUE(defaults.notifications);
  EXPECT_FALSE(defaults.setupComplete);
  EXPECT_FALSE(defaults.useSmartMode);
  EXPECT_EQ(defaults.smartModeTargetMinutes, 60);
  EXPECT_EQ(Config(ConfigValues{}), defaults);

  const Config some({.threshold = 30, .useSmartMode = true});
  EXPECT_EQ(some.threshold, 30);
  EXPECT_TRUE(some.notifications);
  EXPECT_FALSE(some.setupComplete);
  EXPECT_TRUE(some.useSmartMode);
  EXPECT_EQ(some.smartModeTargetMinutes, 60);
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

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }

const AcceptedCase kAccepted[] = {
    {"AnyOrderWithOtherMembers",
     R"( { "smartModeTargetMinutes" : 45, "extra": [1, {"x": null}], "useSmartMode": true,
           "setupComplete": true, "notifications": false, "threshold": 30, "n": 1.5e3 } )",
     Config({.threshold = 30,
             .notifications = false,
             .setupComplete = true,
             .useSmartMode = true,
             .smartModeTargetMinutes = 45})},
    {"ThresholdZeroUnchecked",
     R"({"threshold":0,"notifications":true,"setupComplete":false,"useSmartMode":false,"smartModeTargetMinutes":60})",
     Config({.threshold = 0})},
    {"ThresholdAboveHundredUnchecked",
     R"({"threshold":150,"notifications":true,"setupComplete":false,"useSmartMode":false,"smartModeTargetMinutes":60})",
     Config({.threshold = 150})},
    {"LargestIntegers",
     R"({"threshold":9223372036854775807,"notifications":true,"setupComplete":false,"useSmartMode":false,"smartModeTargetMinutes":-9223372036854775808})",
     Config({.threshold = std::numeric_limits<std::int64_t>::max(),
             .smartModeTargetMinutes = std::numeric_limits<std::int64_t>::min()})},
};

class ConfigAccepts : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(ConfigAccepts, Decodes) {
  const auto result = decodeConfig(GetParam().json);
  ASSERT_TRUE(result.config) << result.error;
  EXPECT_EQ(*result.config, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigAccepts, ::testing::ValuesIn(kAccepted),
                         [](const auto& info) { return std::string(info.param.name); });

// Builds the defaults text with one member's value replaced, or the member
// left out when `value` is empty.
std::string withMember(std::string_view member, std::string_view value) {
  const std::pair<std::string_view, std::string_view> members[] = {
      {"threshold", "20"},
      {"notifications", "true"},
      {"setupComplete", "false"},
      {"useSmartMode", "false"},
      {"smartModeTargetMinutes", "60"}};
  std::string text = "{";
  for (const auto& [name, original] : members) {
    if (name == member && value.empty()) continue;
    if (text.size() > 1) text += ',';
    text += '"';
    text += name;
    text += "\":";
    text += name == member ? value : original;
  }
  return text + "}";
}

struct RejectedCase {
  const char* name;
  std::string json;
  const char* errorPart;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RejectedCase& c, std::ostream* os) { *os << c.name; }

std::vector<RejectedCase> rejectedCases() {
  std::vector<RejectedCase> cases = {
      {"NotJson", "threshold=20", "not valid JSON"},
      {"Empty", "", "not valid JSON"},
      {"TrailingGarbage", std::string(kDefaultsText) + "x", "not valid JSON"},
      {"TwoDocuments", std::string(kDefaultsText) + std::string(kDefaultsText), "not valid JSON"},
      {"InvalidUtf8InAnIgnoredMember",
       R"({"note":")" + std::string("\xff\xfe") + R"(",)" + std::string(kDefaultsText.substr(1)),
       "UTF-8"},
      {"TopLevelArray", "[" + std::string(kDefaultsText) + "]", "not an object"},
      {"TopLevelNumber", "20", "not an object"},
      {"ThresholdAsString", withMember("threshold", "\"20\""), "\"threshold\" is not a number"},
      {"ThresholdWithFraction", withMember("threshold", "20.0"), "not a whole number"},
      {"ThresholdWithExponent", withMember("threshold", "2e1"), "not a whole number"},
      {"ThresholdFractional", withMember("threshold", "57.9"), "not a whole number"},
      {"ThresholdAboveInt64", withMember("threshold", "9223372036854775808"),
       "does not fit in a signed 64-bit integer"},
      {"ThresholdBeyondUint64", withMember("threshold", "100000000000000000000000"),
       "not valid JSON"},
      {"TargetNull", withMember("smartModeTargetMinutes", "null"), "is not a number"},
      {"TargetBoolean", withMember("smartModeTargetMinutes", "true"), "is not a number"},
      {"NotificationsAsOne", withMember("notifications", "1"), "\"notifications\" is not true"},
      {"SetupCompleteAsZero", withMember("setupComplete", "0"), "\"setupComplete\" is not true"},
      {"UseSmartModeAsString", withMember("useSmartMode", "\"true\""), "\"useSmartMode\" is not"},
  };
  for (const char* member :
       {"threshold", "notifications", "setupComplete", "useSmartMode", "smartModeTargetMinutes"}) {
    cases.push_back({"Missing", withMember(member, ""), member});
  }
  return cases;
}

class ConfigRejects : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(ConfigRejects, FailsAsAWhole) {
  const auto result = decodeConfig(GetParam().json);
  EXPECT_FALSE(result.config) << GetParam().json;
  EXPECT_THAT(result.error, HasSubstr(GetParam().errorPart));
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigRejects, ::testing::ValuesIn(rejectedCases()),
                         [](const auto& info) {
                           return std::string(info.param.name) + std::to_string(info.index);
                         });

TEST(ConfigFile, MissingFileIsSilentAndCreatesNothing) {
  TempFolder home;
  RecordingConsole console;
  Config config({.threshold = 40});
  config.load(home.path(), console);
  EXPECT_EQ(config, Config({.threshold = 40}));
  EXPECT_THAT(console.lines(), IsEmpty());
  EXPECT_THAT(home.entries(), IsEmpty());

  // A home that is itself missing is the same situation.
  config.load(home / "gone", console);
  EXPECT_THAT(console.lines(), IsEmpty());
}

TEST(ConfigFile, SaveThenLoadGivesTheSameRecord) {
  TempFolder home;
  RecordingConsole console;
  const Config saved({.threshold = 70, .setupComplete = true, .smartModeTargetMinutes = 90});
  saved.save(home.path(), console);
  EXPECT_EQ(readText(Config::configPath(home.path())), encodeConfig(saved));
  EXPECT_EQ(Config::configPath(home.path()), home / ".kestrine_config.json");
  Config loaded;
  loaded.load(home.path(), console);
  EXPECT_EQ(loaded, saved);
  EXPECT_THAT(console.lines(), IsEmpty());
  EXPECT_THAT(home.entries(), ElementsAre(".kestrine_config.json"));
}

TEST(ConfigFile, OtherMembersAreGoneAfterTheNextSave) {
  TempFolder home;
  RecordingConsole console;
  writeText(
      home / ".kestrine_config.json",
      R"({"legacy":true,"threshold":50,"notifications":true,"setupComplete":true,"useSmartMode":false,"smartModeTargetMinutes":60})");
  Config config;
  config.load(home.path(), console);
  EXPECT_EQ(config.threshold, 50);
  config.save(home.path(), console);
  EXPECT_EQ(
      readText(home / ".kestrine_config.json"),
      R"({"threshold":50,"notifications":true,"setupComplete":true,"useSmartMode":false,"smartModeTargetMinutes":60})");
  EXPECT_THAT(console.lines(), IsEmpty());
}

TEST(ConfigFile, BadFileKeepsEveryFieldAndPrintsOneLine) {
  TempFolder home;
  RecordingConsole console;
  const std::string bad = withMember("smartModeTargetMinutes", "");
  writeText(home / ".kestrine_config.json", bad);
  Config config({.threshold = 10, .notifications = false});
  config.load(home.path(), console);
  // "threshold" was in the file, but nothing is taken from a bad file.
  EXPECT_EQ(config, Config({.threshold = 10, .notifications = false}));
  ASSERT_THAT(console.lines(), SizeIs(1));
  EXPECT_THAT(console.lines()[0], StartsWith("Failed to load config: "));
  EXPECT_THAT(console.lines()[0], HasSubstr("smartModeTargetMinutes"));
  EXPECT_EQ(readText(home / ".kestrine_config.json"), bad);  // neither repaired nor rewritten
}

TEST(ConfigFile, SomethingThatIsNotAFileFailsToLoad) {
  TempFolder home;
  RecordingConsole console;
  std::filesystem::create_directory(home / ".kestrine_config.json");
  Config config;
  config.load(home.path(), console);
  EXPECT_EQ(config, Config{});
  ASSERT_THAT(console.lines(), SizeIs(1));
  EXPECT_THAT(console.lines()[0], StartsWith("Failed to load config: "));
  EXPECT_THAT(console.lines()[0], HasSubstr("Is a directory"));
}

TEST(ConfigFile, UnwritableHomePrintsTheSaveLine) {
  TempFolder home;
  RecordingConsole console;
  const Config config({.threshold = 30});
  config.save(home / "missing-home", console);
  ASSERT_THAT(console.lines(), SizeIs(1));
  EXPECT_THAT(console.lines()[0], StartsWith("Failed to save config: "));
  EXPECT_THAT(console.lines()[0], HasSubstr("No such file or directory"));
  EXPECT_THAT(home.entries(), IsEmpty());
}

TEST(ConfigFile, ReadOnlyFileIsLeftIntact) {
  TempFolder home;
  RecordingConsole console;
  const auto path = home / ".kestrine_config.json";
  writeText(path, kDefaultsText);
  ::chmod(path.c_str(), 0444);
  Config({.threshold = 80}).save(home.path(), console);
  ASSERT_THAT(console.lines(), SizeIs(1));
  EXPECT_THAT(console.lines()[0], StartsWith("Failed to save config: "));
  EXPECT_EQ(readText(path), kDefaultsText);
  EXPECT_THAT(home.entries(), ElementsAre(".kestrine_config.json"));
}

}  // namespace
}  // namespace kestrine
