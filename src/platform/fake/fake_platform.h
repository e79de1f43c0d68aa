#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/fake/fixed_home_directory.h"
#include "platform/fake/fixed_user_name.h"
#include "platform/fake/recording_console.h"
#include "platform/fake/recording_notifier.h"
#include "platform/fake/recording_status_bar.h"
#include "platform/fake/scripted_alerts.h"
#include "platform/fake/scripted_power.h"
#include "platform/fake/scripted_power_sources.h"
#include "platform/fake/scripted_setup.h"
#include "platform/fake/scripted_tool_runner.h"
#include "platform/fake/virtual_clock.h"
#include "platform/fake/virtual_main_loop.h"
#include "ports/platform.h"

namespace kestrine::fake {

struct FakeOptions {
  // Saturday 14 March 2026, 09:00 UTC.
  WallTime start = wallTimeFromCivil(2026, 3, 14, 9, 0, 0.0);
  int utcOffsetSeconds = 0;
  // A folder to use as the home; by default a new temporary one.
  std::optional<std::filesystem::path> home;
  std::string userName = "alice";
  // Whether the record keeps what the ports saw: a replay of a month has no
  // use for it, and its listeners hear it all the same.
  bool keepRecord = true;
};

// The fake platform: one of each port on virtual time, handed out as a
// kestrine::Platform. Every port is a public member for scripting and reading;
// the record has what they all saw, in order.
class FakePlatform {
 public:
  explicit FakePlatform(FakeOptions options = {});
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  Platform& platform() { return platform_; }

  Recorder record;
  VirtualMainLoop loop;
  VirtualClock clock;
  RecordingStatusBar statusBar;
  ScriptedAlerts alerts;
  RecordingNotifier notifier;
  ScriptedPower power;
  ScriptedSetup setup;  // offered as the platform's one-time setup
  // What a tool-driven power port (the virtual laptop's) reads through.
  ScriptedToolRunner tools;
  ScriptedPowerSources powerSources;
  FixedUserName user;
  FixedHomeDirectory home;
  RecordingConsole console;

 private:
  Platform platform_;
};

}  // namespace kestrine::fake
