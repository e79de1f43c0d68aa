#include "mac_power/reports.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "support/temp_folder.h"

namespace kestrine {
namespace {

using Level = std::optional<std::int64_t>;

PowerSourceDescription capacity(PowerSourceValue value) {
  return {{"Current Capacity", std::move(value)}, {"Name", std::string("InternalBattery-0")}};
}

// Each case: its name, the input, the answer.
TEST(BatteryLevel, FirstWholeNumberCapacityWins) {
  const std::tuple<const char*, std::optional<PowerSourceList>, Level> cases[] = {
      {"NoSnapshot", std::nullopt, std::nullopt},
      {"EmptyList", PowerSourceList{}, std::nullopt},
      {"OnlyUnusableDescriptions", PowerSourceList{std::nullopt, std::nullopt}, std::nullopt},
      {"SecondSourceHasTheKey",
       PowerSourceList{PowerSourceDescription{{"Name", std::string("UPS")}},
                       capacity(std::int64_t{57})},
       57},
      {"FirstOfTwoWins", PowerSourceList{capacity(std::int64_t{80}), capacity(std::int64_t{57})},
       80},
      {"TextSkipped", PowerSourceList{capacity(std::string("57")), capacity(std::int64_t{12})}, 12},
      {"FractionSkipped", PowerSourceList{capacity(57.0), capacity(std::int64_t{9})}, 9},
      {"BooleanSkipped", PowerSourceList{capacity(true)}, std::nullopt},
      {"KeyIsCaseSensitive",
       PowerSourceList{PowerSourceDescription{{"current capacity", std::int64_t{5}}}},
       std::nullopt},
      {"AboveHundredUnchanged", PowerSourceList{capacity(std::int64_t{150})}, 150}};
  for (const auto& [name, sources, level] : cases)
    EXPECT_EQ(batteryLevelFromSources(sources), level) << name;
}

TEST(BatteryReport, NamesBatteryPower) {
  const std::tuple<const char*, std::string, bool> cases[] = {
      {"BatteryHeader", "Now drawing from 'Battery Power'\n", true},
      {"AnywhereInText", "x\ny Battery Powerz", true},
      {"AcOnly", "Now drawing from 'AC Power'\n", false},
      {"LowerCase", "Now drawing from 'battery power'\n", false},
      {"InvalidUtf8", "Now drawing from 'Battery Power'\xff\n", false},
      {"MultibyteKept", "\xE2\x9A\xA1 Battery Power", true}};
  for (const auto& [name, report, onBattery] : cases)
    EXPECT_EQ(batteryReportSaysOnBattery(report), onBattery) << name;
}

// Lines as pmset writes them: a value line is a blank, the key, blanks, the value.
const std::string kBattery = "Battery Power:\n";
const std::string kAc = "AC Power:\n";
std::string valueLine(const std::string& value) { return " lowpowermode         " + value + "\n"; }

TEST(CustomReport, ReadsTheBatterySection) {
  const std::tuple<const char*, std::string, Level> cases[] = {
      {"BatteryValue", kBattery + valueLine("1"), 1},
      {"AcValueNeverRead", kAc + valueLine("0") + kBattery + valueLine("1"), 1},
      {"BatteryBeforeAc", kBattery + valueLine("0") + kAc + valueLine("1"), 0},
      {"FlagClearedByAc", kBattery + kAc + valueLine("1"), std::nullopt},
      {"NoHeader", valueLine("1"), std::nullopt},
      {"OtherHeaderKeepsFlag", kBattery + "UPS Power:\n" + valueLine("1"), 1},
      {"MixedCaseKey", kBattery + " LowPowerMode 2\n", 2},
      {"UnreadableLinePassedOver", kBattery + valueLine("x") + valueLine("1"), 1},
      {"TabIsNoSeparator", kBattery + " lowpowermode\t1\n", std::nullopt},
      {"CarriageReturnStays", kBattery + " lowpowermode 1\r\n", std::nullopt},
      {"MinusSign", kBattery + valueLine("-1"), -1},
      {"TwentyNines", kBattery + valueLine("99999999999999999999"), std::nullopt},
      {"Int64Max", kBattery + valueLine("9223372036854775807"), INT64_MAX},
      {"TwoSigns", kBattery + valueLine("+-1"), std::nullopt},
      {"LastPieceCounts", kBattery + " lowpowermode 1 x\n" + valueLine("3"), 3},
      {"KeyInsideLongerWord", kBattery + " xlowpowermodey 4\n", 4},
      {"HeaderLineOnlySetsFlag", "Battery Power: lowpowermode 5\n" + valueLine("6"), 6},
      {"OtherSettingIgnored", kBattery + " standby 1\n" + valueLine("0"), 0},
      {"NoFinalLineFeed", kBattery + " lowpowermode 1", 1},
      {"InvalidUtf8", kBattery + valueLine("1") + "\xC0\xAF", std::nullopt},
      // Macs with High Power Mode name the setting `powermode`.
      {"PowerModeKey", kBattery + " powermode            2\n", 2},
      {"PowerModeOnlyInBatterySection", kAc + " powermode 2\n", std::nullopt},
      {"PowerModeMustBeFirstPiece", kBattery + " x powermode 2\n", std::nullopt},
      {"PowerModeWholePieceOnly", kBattery + " powermodes 2\n", std::nullopt},
      {"PowerModeFirstReadableWins", kBattery + " powermode 2\n" + valueLine("1"), 2}};
  for (const auto& [name, report, mode] : cases)
    EXPECT_EQ(powerModeFromCustomReport(report), mode) << name;
}

std::string readFixture(const std::string& name) {
  return testing::readText(std::string(KESTRINE_TEST_DATA) + "/pmset/" + name);
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
