// The files Kestrine writes are the same bytes, and read back the same values,
// whatever the user's locale: a comma as the decimal sign and a full stop
// between thousands (German) change no number in them, nor in a text.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>

#include "prediction/prediction_data.h"
#include "settings/config.h"
#include "support/prediction_text.h"
#include "ui/messages.h"

namespace kestrine {
namespace {

TEST(FilesUnderAnyLocale, SettingsLearningDataAndTextNumbersKeepTheirBytes) {
  const Config config{.threshold = 35, .useSmartMode = true, .smartModeTargetMinutes = 1234};
  PredictionData data;
  data.snapshots = {{800000000.25, 80, false, 0.5F}, {1234567.5, 12, true, 0.25F}};
  data.lastTrainingDate = 1234.5;
  data.daysCollected = 1234;
  const std::string settings = encodeConfig(config);
  const auto learning = encodePredictionData(data);
  ASSERT_TRUE(learning);

  // Made by the test's set-up with localedef, found through LOCPATH.
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "no de_DE.UTF-8 locale";
  std::locale::global(std::locale("de_DE.UTF-8"));
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(encodeConfig(config), settings);
  EXPECT_EQ(encodePredictionData(data), learning);
  const auto readSettings = decodeConfig(settings);
  ASSERT_TRUE(readSettings.config) << readSettings.error;
  EXPECT_EQ(*readSettings.config, config);
  const auto readLearning = decodePredictionData(*learning);
  ASSERT_TRUE(readLearning.data) << readLearning.error;
  EXPECT_EQ(encodePredictionData(*readLearning.data), learning);
  EXPECT_EQ(fillIn("%d min", {1234}), "1234 min");
  std::locale::global(std::locale::classic());
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace kestrine
