#include "app/app_delegate.h"

#include <utility>

#include "ui/messages.h"
#include "ui/status_icon.h"
#include "ui/status_menu.h"

namespace kestrine {

namespace {

// The check pass runs this often; the first pass one interval after launch.
constexpr double kCheckIntervalSeconds = 30.0;
// The launch message or the first-launch setup follows launch by this much.
constexpr double kLaunchFollowUpSeconds = 1.0;

}  // namespace

AppDelegate::AppDelegate(Platform& platform)
    : platform_(platform),
      home_(platform.home.path()),
      alerts_(platform.alerts, platform.mainLoop),
      alive_(std::make_shared<int>(0)) {}

// Releases the status item, the timer (which stops it) and the predictor;
// pending delayed calls find the token gone and do nothing.
AppDelegate::~AppDelegate() = default;

std::function<void()> AppDelegate::whileAlive(void (AppDelegate::*operation)()) {
  std::weak_ptr<int> token = alive_;
  return [this, token, operation] {
    if (token.lock()) (this->*operation)();
  };
}

void AppDelegate::applicationDidFinishLaunching() {
  statusItem_ = platform_.statusBar.createStatusItem();
  if (statusItem_) statusItem_->setTitle(std::string(kIconOnBattery));
  const ConfigLoadResult loaded = config_.load(home_, platform_.console);
  if (loaded.outcome == ConfigLoadResult::Outcome::unreadable) {
    // An autostarted application's printed lines go unseen.
    platform_.notifier.deliver(unreadableSettingsNotification(loaded.keptAt, platform_.wording));
  }
  if (!config_.setupComplete && !platform_.oneTimeSetup) {
    // Nothing to set up on this platform: the first start is a normal one. A
    // file is only written where there was none, never over one just read.
    config_.setupComplete = true;
    if (loaded.outcome == ConfigLoadResult::Outcome::noFile) saveConfig();
  }
  batteryPredictor_ =
      platform_.learningStore
          ? std::make_unique<BatteryPredictor>(*platform_.learningStore, platform_.clock)
          : std::make_unique<BatteryPredictor>(home_, platform_.clock, platform_.console);
  lastDayRecorded_ = platform_.clock.dayOfMonth(platform_.clock.now());
  buildMenu();
  timer_ = platform_.mainLoop.scheduleRepeating(kCheckIntervalSeconds,
                                                whileAlive(&AppDelegate::checkBattery));
  updateIcon();
  if (config_.setupComplete) {
    checkBatteryOnLaunch();
    platform_.mainLoop.callAfter(kLaunchFollowUpSeconds,
                                 whileAlive(&AppDelegate::followUpCompletedSetup));
  } else {
    platform_.mainLoop.callAfter(kLaunchFollowUpSeconds,
                                 whileAlive(&AppDelegate::showFirstLaunchSetup));
  }
}

// In one call, so that the two never stack up as modal alerts.
void AppDelegate::followUpCompletedSetup() {
  if (platform_.oneTimeSetup) platform_.oneTimeSetup->upgrade(alerts_);
  showLaunchNotification();
}

// Every change is saved when it happens, so quitting only stops the checks.
void AppDelegate::applicationWillTerminate() {
  if (timer_) timer_->invalidate();
}

void AppDelegate::applicationShouldHandleReopen() {
  if (alerts_.isOpen()) return;
  showLaunchNotification();
}

void AppDelegate::performMenuAction(MenuAction action, std::int64_t tag) {
  switch (action) {
    case MenuAction::kToggleSmartMode:
      toggleSmartMode();
      break;
    case MenuAction::kChangeThreshold:
      changeThreshold(tag);
      break;
    case MenuAction::kShowBatteryInfo:
      showBatteryInfo();
      break;
    case MenuAction::kShowPowerMode:
      showPowerMode();
      break;
    case MenuAction::kShowAbout:
      showAbout();
      break;
    case MenuAction::kQuit:
      platform_.mainLoop.terminate();
      break;
  }
}

void AppDelegate::buildMenu() {
  if (!statusItem_) return;
  StatusMenuState state{.useSmartMode = config_.useSmartMode,
                        .threshold = config_.threshold,
                        .checkMarksInTitles = platform_.wording.checkMarksInTitles};
  // The progress item only exists in Smart AI Mode, so only then is the predictor asked.
  if (config_.useSmartMode && batteryPredictor_) {
    state.daysCollected = batteryPredictor_->getDaysCollected();
    state.hasEnoughData = batteryPredictor_->hasEnoughData();
  }
  statusItem_->setMenu(buildStatusMenu(state, platform_.wording));
}

void AppDelegate::updateIcon() {
  const bool onBattery = platform_.power.isOnBattery();
  const std::optional<PowerMode> mode = platform_.power.getPowerMode();
  const std::string_view icon =
      chooseStatusIcon(lastBatteryLevel_, onBattery, mode, config_.threshold);
  if (statusItem_) statusItem_->setTitle(std::string(icon));
  facts_.onBattery = onBattery;
  facts_.mode = mode;
  updateSummary();
}

void AppDelegate::updateSummary() {
  if (statusItem_) statusItem_->setSummary(statusSummary(facts_, config_, platform_.wording));
}

void AppDelegate::showFirstLaunchSetup() {
  if (!platform_.oneTimeSetup) return;
  SetupHooks hooks{
      .quit = [this] { platform_.mainLoop.terminate(); },
      .installed =
          [this] {
            config_.setupComplete = true;
            saveConfig();
            checkBatteryOnLaunch();
          },
      .thresholdRule = [this] { return thresholdRuleText(config_.threshold, platform_.wording); },
  };
  platform_.oneTimeSetup->run(alerts_, hooks);
}

void AppDelegate::showLaunchNotification() {
  const bool shown = statusItem_ && statusItem_->isShown();
  alerts_.runModal(launchAlert(config_.threshold, platform_.wording, shown));
}

// Delivered unconditionally: suppressing repeats is the caller's business.
void AppDelegate::sendNotification(const std::string& title, const std::string& subtitle,
                                   const std::string& body) {
  platform_.notifier.deliver(Notification{.title = title, .subtitle = subtitle, .body = body});
}

void AppDelegate::saveConfig() {
  const std::optional<std::string> failure = config_.save(home_);
  configUnsaved_ = failure.has_value();
  tellSave(SavedFile::kSettings, failure, configSaveTold_);
}

void AppDelegate::tellLearningSave() {
  if (batteryPredictor_)
    tellSave(SavedFile::kLearningData, batteryPredictor_->saveFailure(), learningSaveTold_);
}

void AppDelegate::tellSave(SavedFile file, const std::optional<std::string>& failure, bool& told) {
  if (!failure) {
    told = false;  // on disk: a later failure is told again
    return;
  }
  if (told) return;
  told = true;
  platform_.console.printLine(*failure);
  if (platform_.notifiesFailures)
    platform_.notifier.deliver(saveFailedNotification(file, *failure, platform_.wording));
}

void AppDelegate::toggleSmartMode() {
  config_.useSmartMode = !config_.useSmartMode;
  saveConfig();
  buildMenu();
  updateSummary();
  Notification notice;
  if (config_.useSmartMode) {
    const bool ready = batteryPredictor_ && batteryPredictor_->hasEnoughData();
    const std::int64_t days = batteryPredictor_ ? batteryPredictor_->getDaysCollected() : 0;
    notice = smartModeEnabledNotification(ready, days, config_.smartModeTargetMinutes,
                                          platform_.wording);
  } else {
    notice = smartModeDisabledNotification(config_.threshold, platform_.wording);
  }
  sendNotification(notice.title, notice.subtitle, notice.body);
}

void AppDelegate::changeThreshold(std::int64_t tag) {
  config_.threshold = tag;
  saveConfig();
  buildMenu();
  updateSummary();

  // Switch at once when the battery is already at or below the new threshold;
  // the first test that fails ends the attempt.
  const std::optional<std::int64_t> level = platform_.power.getBatteryLevel();
  if (level && *level <= config_.threshold && platform_.power.isOnBattery() &&
      switchLowPowerModeOn(
          thresholdSwitchNotification(*level, config_.threshold, platform_.wording))) {
    return;
  }
  const Notification notice = thresholdUpdatedNotification(config_.threshold, platform_.wording);
  sendNotification(notice.title, notice.subtitle, notice.body);
}

void AppDelegate::showBatteryInfo() {
  const std::optional<std::int64_t> level = platform_.power.getBatteryLevel();
  if (!level) {
    alerts_.runModal(batteryInfoErrorAlert(platform_.wording));
    return;
  }
  alerts_.runModal(batteryInfoAlert(*level, platform_.power.isOnBattery(), config_.threshold,
                                    platform_.wording));
}

void AppDelegate::showPowerMode() {
  const std::optional<PowerMode> mode = platform_.power.getPowerMode();
  alerts_.runModal(powerModeAlert(mode, platform_.wording,
                                  mode ? "" : platform_.power.powerModeUnavailableReason()));
}

void AppDelegate::showAbout() { alerts_.runModal(aboutAlert(config_, platform_.wording)); }

// The launch check: at or below the threshold on battery, switch and say so.
void AppDelegate::checkBatteryOnLaunch() {
  const std::optional<std::int64_t> level = platform_.power.getBatteryLevel();
  if (!level) return;
  facts_.level = *level;
  if (!platform_.power.isOnBattery()) {
    updateSummary();
    return;
  }
  lastBatteryLevel_ = *level;
  facts_.onBattery = true;
  updateSummary();
  if (*level > config_.threshold) return;
  switchLowPowerModeOn(thresholdSwitchNotification(*level, config_.threshold, platform_.wording));
}

// One check pass: read, record, count the day, refresh the icon and, on
// battery, decide by the threshold or by the prediction.
void AppDelegate::checkBattery() {
  if (!batteryPredictor_) return;    // only before launch; the timer starts after the predictor
  if (configUnsaved_) saveConfig();  // until the settings are on disk
  const std::optional<std::int64_t> level = platform_.power.getBatteryLevel();
  if (!level) return;
  lastBatteryLevel_ = *level;
  facts_.level = *level;
  const bool onBattery = platform_.power.isOnBattery();

  // The snapshot of this pass is recorded before a new day is counted.
  batteryPredictor_->recordSnapshot(*level, !onBattery);
  const std::int64_t today = platform_.clock.dayOfMonth(platform_.clock.now());
  if (today != lastDayRecorded_) {
    lastDayRecorded_ = today;
    batteryPredictor_->incrementDayCounter();
  }
  tellLearningSave();

  // The prediction comes first so that the summary the icon update hands on has it.
  const bool ready = onBattery && config_.useSmartMode && batteryPredictor_->hasEnoughData();
  std::optional<std::int64_t> prediction;
  if (usesSmartRule(config_, ready))
    prediction = batteryPredictor_->predictRemainingMinutes(*level);
  facts_.predictedMinutes = prediction;

  updateIcon();

  if (!onBattery) {
    endLowBatteryEpisode();
    return;
  }
  const LowBatteryDecision& decision = lastDecision_.emplace(
      decideLowBattery(*level, config_, ready, prediction, platform_.wording));
  if (!decision.conditionMet) {
    endLowBatteryEpisode();
    return;
  }

  // The latch is left alone from here on unless a notification goes out: a
  // mode already on or a failed switch neither sets nor clears it.
  std::optional<Notification> notice;
  if (!notificationShown_)
    notice = automaticSwitchNotification(decision.subtitle, platform_.wording);
  if (switchLowPowerModeOn(notice) && notice) notificationShown_ = true;
}

bool AppDelegate::switchLowPowerModeOn(const std::optional<Notification>& notice) {
  const std::optional<PowerMode> mode = platform_.power.getPowerMode();
  if (!mode || *mode == PowerMode::kLowPower) return false;
  if (!platform_.power.setPowerMode(PowerMode::kLowPower)) {
    const std::optional<SwitchFailure> why = platform_.power.lastSwitchFailure();
    if (why && !switchFailureTold_) {
      switchFailureTold_ = true;
      platform_.notifier.deliver(switchFailedNotification(*why, platform_.wording));
    }
    return false;
  }
  facts_.mode = PowerMode::kLowPower;
  updateSummary();
  if (notice) sendNotification(notice->title, notice->subtitle, notice->body);
  return true;
}

void AppDelegate::endLowBatteryEpisode() {
  notificationShown_ = false;
  switchFailureTold_ = false;
}

}  // namespace kestrine
