#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "platform/fake/fake_platform.h"
#include "prediction/prediction_data.h"
#include "settings/config.h"
#include "support/prediction_text.h"
#include "support/temp_folder.h"

namespace kestrine::testing {

class FakePlatformTest : public ::testing::Test {
 protected:
  // Settings and learning data as they would be on disk before launch.
  void writeConfig(const Config& config) {
    writeText(Config::configPath(home()), encodeConfig(config));
  }
  void writeLearningData(const PredictionData& data) {
    writeText(BatteryPredictor::dataPath(home()), *encodePredictionData(data));
  }
  // None when the file is missing or unreadable.
  std::optional<Config> readConfig() const {
    return decodeConfig(readText(Config::configPath(home()))).config;
  }

  // A learning record that makes the predictor ready: 100 old discharging
  // samples (outside the ten-minute window) and `days` counted days.
  PredictionData readyData(std::int64_t days = 2) const {
    PredictionData data;
    data.daysCollected = days;
    for (int i = 0; i < 100; ++i) {
      data.snapshots.push_back(BatterySnapshot{.timestamp = sim.loop.now() - 86400.0 + i * 30.0,
                                               .batteryPercent = 90,
                                               .isCharging = false,
                                               .screenBrightness = 0.5F});
    }
    return data;
  }

  std::filesystem::path home() const { return sim.home.path(); }

  void launch() {
    app = std::make_unique<AppDelegate>(sim.platform());
    app->applicationDidFinishLaunching();
  }

  // Runs the loop to the next check pass (they fall every 30 seconds from launch).
  void runPasses(int passes = 1) { sim.loop.runFor(30.0 * passes); }

  template <typename T>
  std::vector<T> seen() const {
    return sim.record.all<T>();
  }
  std::size_t asked(fake::PowerRequest request) const {
    return std::ranges::count(seen<fake::PowerRequest>(), request);
  }
  std::size_t switchAttempts() const { return asked(fake::PowerRequest::kSwitch); }
  std::vector<Notification> notifications() const { return seen<Notification>(); }

  fake::FakePlatform sim;
  fake::ScriptedPower& mac = sim.power;  // the machine's battery, power mode and switch
  std::unique_ptr<AppDelegate> app;
};

}  // namespace kestrine::testing
