#include "platform/linux/upower_devices.h"

#include <gtest/gtest.h>

namespace kestrine::linux_desktop {
namespace {

// A device from a GetAll answer written in GVariant's text form.
UPowerDevice device(const std::string& properties) {
  GVariant* value =
      g_variant_parse(G_VARIANT_TYPE("a{sv}"), properties.c_str(), nullptr, nullptr, nullptr);
  EXPECT_NE(value, nullptr) << properties;
  if (value == nullptr) return {};
  UPowerDevice parsed = deviceFromProperties(value);
  g_variant_unref(value);
  return parsed;
}

std::string battery(const std::string& percentage, const std::string& more = "") {
  return "{'Type': <uint32 2>, 'PowerSupply': <true>, 'IsPresent': <true>, 'Percentage': <" +
         percentage + ">" + more + "}";
}

TEST(BatteryLevelFromUPower, OnlyPresentSystemBatteriesWithARealLevelCount) {
  const std::string emptyBay =
      "{'Type': <uint32 2>, 'PowerSupply': <true>, 'IsPresent': <false>, 'Percentage': <0.0>}";
  const std::string mouse = "{'Type': <uint32 5>, 'PowerSupply': <false>, 'Percentage': <3.0>}";
  const std::string phone = "{'Type': <uint32 2>, 'PowerSupply': <false>, 'Percentage': <9.0>}";
  const std::string ac = "{'Type': <uint32 1>, 'PowerSupply': <true>, 'Online': <true>}";
  const std::string ups = "{'Type': <uint32 3>, 'PowerSupply': <true>, 'Percentage': <80.0>}";
  const std::string low = battery("5.0", ", 'Energy': <2.5>, 'EnergyFull': <50.0>");
  const std::string full = battery("100.0", ", 'Energy': <50.0>, 'EnergyFull': <50.0>");
  const std::string display = "{'Type': <uint32 2>, 'IsPresent': <true>, 'Percentage': <";
  const struct {
    const char* what;
    std::vector<std::string> devices;
    std::optional<std::int64_t> level;
    std::string display = "";  // UPower's display device, where it has one
  } table[] = {
      {"rounded to the nearest", {battery("56.6")}, 57},
      {"NaN", {battery("nan")}, std::nullopt},
      {"inf", {battery("inf")}, std::nullopt},
      {"a string", {battery("'50'")}, std::nullopt},
      {"-1", {battery("-1.0")}, std::nullopt},
      {"150", {battery("150.0")}, std::nullopt},
      {"empty bay listed first", {ac, emptyBay, battery("60.0")}, 60},
      {"peripherals and line power never", {mouse, ac, phone}, std::nullopt},
      {"two batteries by energy", {low, full}, 53},
      {"two batteries without energies: the lowest", {battery("100.0"), battery("5.0")}, 5},
      {"two batteries, one unreadable", {battery("nan"), battery("40.0")}, 40},
      {"a UPS without batteries", {mouse, ups}, 80},
      {"batteries before a UPS", {ups, battery("30.0")}, 30},
      {"nothing", {}, std::nullopt},
      {"display device without a level", {battery("70.0")}, 70, display + "nan>}"},
      {"absent display battery",
       {battery("9.0")},
       9,
       "{'Type': <uint32 2>, 'IsPresent': <false>, 'Percentage': <0.0>}"},
  };
  for (const auto& row : table) {
    std::vector<UPowerDevice> devices;
    for (const auto& text : row.devices) devices.push_back(device(text));
    const auto shown = row.display.empty() ? std::nullopt : std::optional(device(row.display));
    EXPECT_EQ(batteryLevel(shown, devices), row.level) << row.what;
  }
}

TEST(OnBatteryFromUPower, OnlyTheBooleanTrueIsOnBattery) {
  EXPECT_FALSE(onBatteryFromProperty(nullptr)) << "unreadable";
  const struct {
    const char* text;
    bool onBattery;
  } table[] = {{"true", true}, {"false", false}, {"'true'", false}, {"uint32 1", false}};
  for (const auto& row : table) {
    GVariant* value = g_variant_parse(nullptr, row.text, nullptr, nullptr, nullptr);
    EXPECT_EQ(onBatteryFromProperty(value), row.onBattery) << row.text;
    g_variant_unref(value);
  }
}

TEST(PowerProfiles, ModeOfEachProfileAndBack) {
  const struct {
    const char* profile;
    std::optional<PowerMode> mode;
  } table[] = {{"power-saver", PowerMode::kLowPower},
               {"balanced", PowerMode::kAutomatic},
               {"performance", PowerMode::kHighPower},
               {"Balanced", std::nullopt}};
  for (const auto& row : table) {
    EXPECT_EQ(powerModeFromProfile(row.profile), row.mode) << row.profile;
    if (row.mode) {
      EXPECT_EQ(profileForPowerMode(*row.mode), row.profile);
    }
  }
  EXPECT_EQ(profileForPowerMode(PowerMode{7}), "");
}

}  // namespace
}  // namespace kestrine::linux_desktop
