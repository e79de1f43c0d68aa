#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/check_cycle.h"
#include "app/modal_alerts.h"
#include "ports/menu_model.h"
#include "ports/platform.h"
#include "prediction/battery_predictor.h"
#include "settings/config.h"
#include "ui/messages.h"

namespace kestrine {

// Owns all run-time state and carries Kestrine's behaviour. Backends construct
// one, call applicationDidFinishLaunching() once their loop is ready, route
// menu choices to performMenuAction() and call applicationWillTerminate() when
// their loop has ended. Quit (the menu's or the welcome alert's "Quit") only
// asks the main loop to stop. Every operation runs on the main loop's thread.
class AppDelegate {
 public:
  explicit AppDelegate(Platform& platform);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // Application callbacks.
  void applicationDidFinishLaunching();
  void applicationWillTerminate();
  // The running application was opened again (on the Mac: Finder, `open`):
  // shows the launch message, unless an alert of Kestrine's is open.
  void applicationShouldHandleReopen();

  // A chosen menu item: its action and, for a threshold entry, its tag.
  void performMenuAction(MenuAction action, std::int64_t tag = 0);

  // Read-only views of the state, for the virtual laptop and the tests.
  const Config& config() const { return config_; }
  bool notificationShown() const { return notificationShown_; }
  std::int64_t lastBatteryLevel() const { return lastBatteryLevel_; }
  std::int64_t lastDayRecorded() const { return lastDayRecorded_; }
  const BatteryPredictor* batteryPredictor() const { return batteryPredictor_.get(); }
  // The low-battery decision of the last pass on battery.
  const std::optional<LowBatteryDecision>& lastDecision() const { return lastDecision_; }

 private:
  // Operations.
  void buildMenu();
  void checkBatteryOnLaunch();
  void checkBattery();
  void updateIcon();
  // Hands the status summary of what was last read to the status item.
  void updateSummary();
  void showFirstLaunchSetup();
  // At a start after a completed setup: the setup's upgrade, then the launch message.
  void followUpCompletedSetup();
  void showLaunchNotification();
  void sendNotification(const std::string& title, const std::string& subtitle,
                        const std::string& body);
  void toggleSmartMode();
  void changeThreshold(std::int64_t tag);
  void showBatteryInfo();
  void showPowerMode();
  void showAbout();

  // Switches Low Power Mode on unless it is on already or its state cannot be
  // read, then delivers `notice` if one is given. True when this call switched.
  // A failed switch is told once per low-battery episode, where the platform
  // can say why.
  bool switchLowPowerModeOn(const std::optional<Notification>& notice);
  // A low-battery episode ended (on power, or above the rule's limit).
  void endLowBatteryEpisode();

  // Saves the settings. A failure is printed (and, where the platform tells
  // failures, notified) once until a save succeeds, and the next pass saves again.
  void saveConfig();
  // The same telling for the learning file, which every pass saves anyway.
  void tellLearningSave();
  void tellSave(SavedFile file, const std::optional<std::string>& failure, bool& told);

  // Wraps an operation for the main loop: it runs only while this delegate lives.
  std::function<void()> whileAlive(void (AppDelegate::*operation)());

  Platform& platform_;
  std::filesystem::path home_;
  ModalAlerts alerts_;
  // Timer and delayed callbacks hold a weak reference to this token, so they do
  // nothing once the delegate is gone.
  std::shared_ptr<int> alive_;

  std::unique_ptr<StatusItem> statusItem_;
  std::unique_ptr<Timer> timer_;
  Config config_;
  bool notificationShown_ = false;
  bool switchFailureTold_ = false;  // in this low-battery episode
  bool configUnsaved_ = false;      // the last save of the settings failed
  bool configSaveTold_ = false;
  bool learningSaveTold_ = false;
  std::int64_t lastBatteryLevel_ = 100;
  std::unique_ptr<BatteryPredictor> batteryPredictor_;
  std::int64_t lastDayRecorded_ = 0;
  std::optional<LowBatteryDecision> lastDecision_;
  // The last readings, for the status summary only: it reads nothing itself.
  StatusFacts facts_;
};

}  // namespace kestrine
