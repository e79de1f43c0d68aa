#include "mac_power/reports.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

namespace kestrine {
namespace {

using Level = std::optional<std::int64_t>;

PowerSourceDescription capacity(PowerSourceValue value) {
  return {{"Current Capacity", std::move(value)}, {"Name", std::string("InternalBattery-0")}};
}

struct LevelCase {
  const char* name;
  std::optional<PowerSourceList> sources;
  Level expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

class BatteryLevel : public testing::TestWithParam<LevelCase> {};

TEST_P(BatteryLevel, FirstWholeNumberCapacityWins) {
  EXPECT_EQ(batteryLevelFromSources(GetParam().sources), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, BatteryLevel,
    testing::Values(
        LevelCase{"NoSnapshot", std::nullopt, std::nullopt},
        LevelCase{"EmptyList", PowerSourceList{}, std::nullopt},
        LevelCase{"OnlyUnusableDescriptions", PowerSourceList{std::nullopt, std::nullopt},
                  std::nullopt},
        LevelCase{"SecondSourceHasTheKey",
                  PowerSourceList{PowerSourceDescription{{"Name", std::string("UPS")}},
                                  capacity(std::int64_t{57})},
                  57},
        LevelCase{"FirstOfTwoWins",
                  PowerSourceList{capacity(std::int64_t{80}), capacity(std::int64_t{57})}, 80},
        LevelCase{"TextSkipped",
                  PowerSourceList{capacity(std::string("57")), capacity(std::int64_t{12})}, 12},
        LevelCase{"FractionSkipped", PowerSourceList{capacity(57.0), capacity(std::int64_t{9})}, 9},
        LevelCase{"BooleanSkipped", PowerSourceList{capacity(true)}, std::nullopt},
        LevelCase{"KeyIsCaseSensitive",
                  PowerSourceList{PowerSourceDescription{{"current capacity", std::int64_t{5}}}},
                  std::nullopt},
        LevelCase{"AboveHundredUnchanged", PowerSourceList{capacity(std::int64_t{150})}, 150}),
    [](const auto& info) { return std::string(info.param.name); });

struct BatteryReportCase {
  const char* name;
  std::string report;
  bool onBattery;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BatteryReportCase& c, std::ostream* os) { *os << c.name; }

class BatteryReport : public testing::TestWithParam<BatteryReportCase> {};

TEST_P(BatteryReport, NamesBatteryPower) {
  EXPECT_EQ(batteryReportSaysOnBattery(GetParam().report), GetParam().onBattery);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BatteryReport,
    testing::Values(BatteryReportCase{"BatteryHeader", "Now drawing from 'Battery Power'\n", true},
                    BatteryReportCase{"AnywhereInText", "x\ny Battery Powerz", true},
                    BatteryReportCase{"AcOnly", "Now drawing from 'AC Power'\n", false},
                    BatteryReportCase{"LowerCase", "Now drawing from 'battery power'\n", false},
                    BatteryReportCase{"InvalidUtf8", "Now drawing from 'Battery Power'\xff\n",
                                      false},
                    BatteryReportCase{"MultibyteKept", "\xE2\x9A\xA1 Battery Power", true}),
    [](const auto& info) { return std::string(info.param.name); });

// Lines of the Part's examples: a value line is a blank, the key, blanks, the value.
const std::string kBattery = "Battery Power:\n";
const std::string kAc = "AC Power:\n";
std::string valueLine(const std::string& value) { return " lowpowermode         " + value + "\n"; }

struct ModeCase {
  const char* name;
  std::string report;
  Level expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class CustomReport : public testing::TestWithParam<ModeCase> {};

TEST_P(CustomReport, ReadsTheBatterySection) {
  EXPECT_EQ(powerModeFromCustomReport(GetParam().report), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CustomReport,
    testing::Values(
        ModeCase{"BatteryValue", kBattery + valueLine("1"), 1},
        ModeCase{"AcValueNeverRead", kAc + valueLine("0") + kBattery + valueLine("1"), 1},
        ModeCase{"BatteryBeforeAc", kBattery + valueLine("0") + kAc + valueLine("1"), 0},
        ModeCase{"FlagClearedByAc", kBattery + kAc + valueLine("1"), std::nullopt},
        ModeCase{"NoHeader", valueLine("1"), std::nullopt},
        ModeCase{"OtherHeaderKeepsFlag", kBattery + "UPS Power:\n" + valueLine("1"), 1},
        ModeCase{"MixedCaseKey", kBattery + " LowPowerMode 2\n", 2},
        ModeCase{"UnreadableLinePassedOver", kBattery + valueLine("x") + valueLine("1"), 1},
        ModeCase{"TabIsNoSeparator", kBattery + " lowpowermode\t1\n", std::nullopt},
        ModeCase{"CarriageReturnStays", kBattery + " lowpowermode 1\r\n", std::nullopt},
        ModeCase{"MinusSign", kBattery + valueLine("-1"), -1},
        ModeCase{"TwentyNines", kBattery + valueLine("99999999999999999999"), std::nullopt},
        ModeCase{"Int64Max", kBattery + valueLine("9223372036854775807"), INT64_MAX},
        ModeCase{"TwoSigns", kBattery + valueLine("+-1"), std::nullopt},
        ModeCase{"LastPieceCounts", kBattery + " lowpowermode 1 x\n" + valueLine("3"), 3},
        ModeCase{"KeyInsideLongerWord", kBattery + " xlowpowermodey 4\n", 4},
        ModeCase{"HeaderLineOnlySetsFlag", "Battery Power: lowpowermode 5\n" + valueLine("6"), 6},
        ModeCase{"OtherSettingIgnored", kBattery + " standby 1\n" + valueLine("0"), 0},
        ModeCase{"NoFinalLineFeed", kBattery + " lowpowermode 1", 1},
        ModeCase{"InvalidUtf8", kBattery + valueLine("1") + "\xC0\xAF", std::nullopt},
        // Macs with High Power Mode name the setting `powermode`.
        ModeCase{"PowerModeKey", kBattery + " powermode            2\n", 2},
        ModeCase{"PowerModeOnlyInBatterySection", kAc + " powermode 2\n", std::nullopt},
        ModeCase{"PowerModeMustBeFirstPiece", kBattery + " x powermode 2\n", std::nullopt},
        ModeCase{"PowerModeWholePieceOnly", kBattery + " powermodes 2\n", std::nullopt},
        ModeCase{"PowerModeFirstReadableWins", kBattery + " powermode 2\n" + valueLine("1"), 2}),
    [](const auto& info) { return std::string(info.param.name); });

std::string readFixture(const std::string& name) {
  std::ifstream in(std::string(KESTRINE_TEST_DATA) + "/pmset/" + name, std::ios::binary);
  EXPECT_TRUE(in) << "missing fixture " << name;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The stored reports of real Macs. custom-05 holds its mode only as `powermode`:
// without that key it has none.
TEST(RealReports, GiveWhetherOnBatteryAndTheBatteryMode) {
  const std::pair<const char*, bool> batt[] = {
      {"batt-06.txt", true}, {"batt-07.txt", false}, {"batt-09.txt", false}, {"batt-10.txt", false},
      {"batt-12.txt", true}, {"batt-16.txt", true},  {"batt-21.txt", false}};
  for (const auto& [file, onBattery] : batt) {
    EXPECT_EQ(batteryReportSaysOnBattery(readFixture(file)), onBattery) << file;
  }
  const std::pair<const char*, Level> custom[] = {{"custom-01.txt", std::nullopt},
                                                  {"custom-02.txt", 0},
                                                  {"custom-04.txt", 1},
                                                  {"custom-05.txt", 0}};
  for (const auto& [file, mode] : custom) {
    EXPECT_EQ(powerModeFromCustomReport(readFixture(file)), mode) << file;
  }
}

TEST(SudoListing, TheBroadRuleForThisPmsetAlsoWhereSudoWrappedIt) {
  // As sudo 1.9.13 writes its listing into a file: long entries wrapped at 80 columns.
  const std::string head = "User nobody may run the following commands on vm:\n    (ALL) ALL\n";
  const std::string pmset = "/tmp/h/a-folder-name-long-enough-to-wrap/pmset";
  EXPECT_TRUE(sudoListingShowsBroadRule(
      head + "    (ALL) NOPASSWD: " + pmset + " -b\n        lowpowermode *\n", pmset));
  EXPECT_FALSE(sudoListingShowsBroadRule(
      head +
          "    (root) NOPASSWD: /a/pmset -b lowpowermode 0, /a/pmset -b\n        lowpowermode 1\n",
      "/a/pmset"));
  EXPECT_FALSE(sudoListingShowsBroadRule(
      head + "    (ALL) NOPASSWD: /usr/local/bin/pmset -b lowpowermode *\n", "/usr/bin/pmset"));
}

// Every command of an entry counts, under the runas list and tags it inherits.
TEST(SudoListing, TheBroadRuleAnywhereInAnEntryWithoutAPassword) {
  const std::string broad = "/usr/bin/pmset -b lowpowermode *";
  const std::pair<std::string, bool> entries[] = {
      {"(ALL) NOPASSWD: /usr/local/sbin/x, " + broad, true},
      {"(ALL) NOPASSWD: /a, (root) SETENV: " + broad, true},
      {"(root) NOPASSWD: SETENV: /a,\n        " + broad, true},
      {"(ALL) NOPASSWD: /a, (root) PASSWD: " + broad, false},
      {"(ALL) " + broad, false},
      {"(ALL) NOPASSWD: " + broad + " -a", false},
      {"(ALL) NOPASSWD: /a, /usr/bin/pmset -b lowpowermode 1", false},
  };
  for (const auto& [entry, shows] : entries) {
    EXPECT_EQ(sudoListingShowsBroadRule("User a may run:\n    " + entry + "\n", "/usr/bin/pmset"),
              shows)
        << entry;
  }
}

}  // namespace
}  // namespace kestrine
