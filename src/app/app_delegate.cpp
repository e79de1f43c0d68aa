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
  platform_.statusBar.setAccessoryActivationPolicy();
  statusItem_ = platform_.statusBar.createStatusItem();
  if (statusItem_ && statusItem_->hasButton()) statusItem_->setTitle(std::string(kIconOnBattery));
  config_.load(home_, platform_.console);
  if (!config_.setupComplete && !platform_.power.hasOneTimeSetup()) {
    // Nothing to set up on this platform: the first start is a normal one.
    config_.setupComplete = true;
    config_.save(home_, platform_.console);
  }
  batteryPredictor_ =
      platform_.learningStore
          ? std::make_unique<BatteryPredictor>(*platform_.learningStore, platform_.clock,
                                               platform_.console)
          : std::make_unique<BatteryPredictor>(home_, platform_.clock, platform_.console);
  lastDayRecorded_ = platform_.clock.dayOfMonth(platform_.clock.now());
  buildMenu();
  timer_ = platform_.mainLoop.scheduleRepeating(kCheckIntervalSeconds,
                                                whileAlive(&AppDelegate::checkBattery));
  updateIcon();
  if (config_.setupComplete) {
    checkBatteryOnLaunch();
    platform_.mainLoop.callAfter(kLaunchFollowUpSeconds,
                                 whileAlive(&AppDelegate::showLaunchNotification));
  } else {
    platform_.mainLoop.callAfter(kLaunchFollowUpSeconds,
                                 whileAlive(&AppDelegate::showFirstLaunchSetup));
  }
}

// Every change is saved when it happens, so quitting only stops the checks.
void AppDelegate::applicationWillTerminate() {
  if (timer_) timer_->invalidate();
}

void AppDelegate::performMenuAction(const std::string& action, std::int64_t tag) {
  if (action == kActionToggleSmartMode) {
    toggleSmartMode();
  } else if (action == kActionChangeThreshold) {
    changeThreshold(tag);
  } else if (action == kActionShowBatteryInfo) {
    showBatteryInfo();
  } else if (action == kActionShowPowerMode) {
    showPowerMode();
  } else if (action == kActionShowAbout) {
    showAbout();
  } else if (action == kActionTerminate) {
    platform_.mainLoop.terminate();
  }
}

void AppDelegate::buildMenu() {
  if (!statusItem_) return;
  StatusMenuState state{.useSmartMode = config_.useSmartMode, .threshold = config_.threshold};
  // The progress item only exists in Smart AI Mode, so only then is the predictor asked.
  if (config_.useSmartMode && batteryPredictor_) {
    state.daysCollected = batteryPredictor_->getDaysCollected();
    state.hasEnoughData = batteryPredictor_->hasEnoughData();
  }
  statusItem_->setMenu(buildStatusMenu(state));
}

std::vector<MenuItem> AppDelegate::buildThresholdSubmenu() const {
  return buildThresholdEntries(config_.threshold);
}

void AppDelegate::updateIcon() {
  const bool onBattery = platform_.power.isOnBattery();
  const std::optional<std::int64_t> mode = platform_.power.getPowerMode();
  const std::string_view icon =
      chooseStatusIcon(lastBatteryLevel_, onBattery, mode, config_.threshold);
  if (statusItem_ && statusItem_->hasButton()) statusItem_->setTitle(std::string(icon));
}

void AppDelegate::showFirstLaunchSetup() {
  SetupHooks hooks{
      .quit = [this] { platform_.mainLoop.terminate(); },
      .installed =
          [this] {
            config_.setupComplete = true;
            config_.save(home_, platform_.console);
            checkBatteryOnLaunch();
          },
      .currentThreshold = [this] { return config_.threshold; },
  };
  platform_.power.runOneTimeSetup(alerts_, hooks);
}

void AppDelegate::showLaunchNotification() { alerts_.runModal(launchAlert(config_.threshold)); }

// Delivered unconditionally: suppressing repeats is the caller's business.
void AppDelegate::sendNotification(const std::string& title, const std::string& subtitle,
                                   const std::string& body) {
  platform_.notifier.deliver(Notification{.title = title, .subtitle = subtitle, .body = body});
}

void AppDelegate::toggleSmartMode() {
  config_.useSmartMode = !config_.useSmartMode;
  config_.save(home_, platform_.console);
  buildMenu();
  Notification notice;
  if (config_.useSmartMode) {
    const bool ready = batteryPredictor_ && batteryPredictor_->hasEnoughData();
    const std::int64_t days = batteryPredictor_ ? batteryPredictor_->getDaysCollected() : 0;
    notice = smartModeEnabledNotification(ready, days, config_.smartModeTargetMinutes);
  } else {
    notice = smartModeDisabledNotification(config_.threshold);
  }
  sendNotification(notice.title, notice.subtitle, notice.body);
}

void AppDelegate::changeThreshold(std::int64_t tag) {
  config_.threshold = tag;
  config_.save(home_, platform_.console);
  buildMenu();

  // Switch at once when the battery is already at or below the new threshold;
  // the first test that fails ends the attempt.
  const std::optional<std::int64_t> level = platform_.power.getBatteryLevel();
  if (level && *level <= config_.threshold && platform_.power.isOnBattery() &&
      switchLowPowerModeOn(thresholdSwitchNotification(*level, config_.threshold))) {
    return;
  }
  const Notification notice = thresholdUpdatedNotification(config_.threshold);
  sendNotification(notice.title, notice.subtitle, notice.body);
}

void AppDelegate::showBatteryInfo() {
  const std::optional<std::int64_t> level = platform_.power.getBatteryLevel();
  if (!level) {
    alerts_.runModal(batteryInfoErrorAlert());
    return;
  }
  alerts_.runModal(batteryInfoAlert(*level, platform_.power.isOnBattery(), config_.threshold));
}

void AppDelegate::showPowerMode() {
  alerts_.runModal(powerModeAlert(platform_.power.getPowerMode()));
}

void AppDelegate::showAbout() { alerts_.runModal(aboutAlert(config_, platform_.machineName)); }

}  // namespace kestrine
