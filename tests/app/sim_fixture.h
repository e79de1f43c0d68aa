#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "platform/sim/sim_platform.h"
#include "prediction/prediction_data.h"
#include "settings/config.h"

namespace kestrine::testing {

// A small Mac behind the fake platform: the battery the power-source service
// reports, the two pmset reports, and the switch through sudo or osascript.
struct FakeMac {
  std::optional<std::int64_t> level = 100;
  bool onBattery = true;
  std::optional<std::int64_t> powerMode = 0;  // absent: the report has no readable value
  bool sudoRuleInstalled = true;              // `sudo -n` succeeds
  bool passwordGiven = true;                  // the administrator dialog is authorised
  int setupExitStatus = 0;                    // of the privileged setup command
};

inline std::string battReport(bool onBattery, std::optional<std::int64_t> level) {
  const std::string percent = level ? std::to_string(*level) : "0";
  return std::string("Now drawing from '") + (onBattery ? "Battery Power" : "AC Power") +
         "'\n -InternalBattery-0 (id=4653155)\t" + percent + "%; " +
         (onBattery ? "discharging" : "charging") + "; 3:10 remaining present: true\n";
}

inline std::string customReport(std::optional<std::int64_t> mode) {
  const std::string line = mode ? " lowpowermode         " + std::to_string(*mode) + "\n" : "";
  return "Battery Power:\n" + line +
         " standby              1\nAC Power:\n lowpowermode         0\n";
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.powerSources.setProvider([this]() -> std::optional<PowerSourceList> {
      readings.push_back("level");
      if (!mac.level) return std::nullopt;
      return PowerSourceList{sim::internalBatteryDescription(*mac.level)};
    });
    sim.tools.setHandler([this](const ToolRequest& request) { return answer(request); });
  }

  ToolResult answer(const ToolRequest& request) {
    const auto& args = request.arguments;
    readings.push_back(reading(request));
    if (request.program == "/usr/bin/pmset" && args == std::vector<std::string>{"-g", "batt"})
      return sim::exitedWith(0, battReport(mac.onBattery, mac.level));
    if (request.program == "/usr/bin/pmset" && args == std::vector<std::string>{"-g", "custom"})
      return sim::exitedWith(0, customReport(mac.powerMode));
    if (request.program == "/usr/bin/sudo" && args.size() == 5 && args[0] == "-n") {
      if (!mac.sudoRuleInstalled) return sim::exitedWith(1);
      mac.powerMode = std::stoll(args[4]);
      return sim::exitedWith(0);
    }
    if (request.program == "/usr/bin/osascript" && args.size() == 2) {
      if (args[1].find("sudoers") != std::string::npos) return sim::exitedWith(mac.setupExitStatus);
      if (!mac.passwordGiven) return sim::exitedWith(1);
      mac.powerMode = 1;
      return sim::exitedWith(0);
    }
    return sim::failedToStart();
  }

  // A short name for each thing the application asks of the machine, in order:
  // "level" (power sources), "batt" and "custom" (the two pmset reports),
  // "sudo" and "osascript" (switch or setup).
  static std::string reading(const ToolRequest& request) {
    if (request.program == "/usr/bin/pmset" && request.arguments.size() == 2)
      return request.arguments[1];
    return request.program.substr(request.program.rfind('/') + 1);
  }

  // Settings and learning data as they would be on disk before launch.
  void writeConfig(const Config& config) {
    std::ofstream(Config::configPath(home())) << encodeConfig(config);
  }
  void writeLearningData(const PredictionData& data) {
    std::ofstream(BatteryPredictor::dataPath(home())) << *encodePredictionData(data);
  }
  std::optional<Config> readConfig() const {
    std::ifstream in(Config::configPath(home()));
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return decodeConfig(text.str()).config;
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

  std::size_t runsOf(const std::vector<std::string>& prefix) const {
    return sim.tools.countRuns(prefix);
  }
  std::size_t switchAttempts() const { return runsOf({"/usr/bin/sudo"}); }
  const std::vector<Notification>& notifications() const { return sim.notifier.delivered(); }

  sim::SimPlatform sim;
  FakeMac mac;
  std::vector<std::string> readings;  // see reading()
  std::unique_ptr<AppDelegate> app;
};

}  // namespace kestrine::testing
