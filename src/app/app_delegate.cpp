#include "app/app_delegate.h"

#include <utility>

#include "app/check_cycle.h"
#include "power/first_launch_setup.h"
#include "ui/messages.h"
#include "ui/status_icon.h"
#include "ui/status_menu.h"

namespace kestrine {

namespace {

// The check pass runs this often; the first pass one interval after launch.
constexpr double kCheckIntervalSeconds = 30.0;
// The launch message or the first-launch setup follows launch by this much.
constexpr double kLaunchFollowUpSeconds = 1.0;
constexpr std::int64_t kLowPowerModeOn = 1;

}  // namespace

AppDelegate::AppDelegate(Platform& platform)
    : platform_(platform),
      home_(platform.home.path()),
      alerts_(platform.alerts, platform.mainLoop),
      power_(platform.tools, platform.powerSources, platform.systemTools),
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
  batteryPredictor_ = std::make_unique<BatteryPredictor>(home_, platform_.clock, platform_.console);
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

std::optional<std::int64_t> AppDelegate::getBatteryLevel() { return power_.getBatteryLevel(); }

bool AppDelegate::isOnBattery() { return power_.isOnBattery(); }

std::optional<std::int64_t> AppDelegate::getPowerMode() { return power_.getPowerMode(); }

bool AppDelegate::setPowerMode(std::int64_t mode) { return power_.setPowerMode(mode); }

void AppDelegate::checkBatteryOnLaunch() {
  const std::optional<std::int64_t> level = getBatteryLevel();
  if (!level) return;
  if (!isOnBattery()) return;
  lastBatteryLevel_ = *level;
  if (*level > config_.threshold) return;
  const std::optional<std::int64_t> mode = getPowerMode();
  if (!mode || *mode == kLowPowerModeOn) return;
  if (!setPowerMode(kLowPowerModeOn)) return;
  const Notification notice = thresholdSwitchNotification(*level, config_.threshold);
  sendNotification(notice.title, notice.subtitle, notice.body);
}

void AppDelegate::checkBattery() {
  if (!batteryPredictor_) return;  // only before launch; the timer starts after the predictor
  const std::optional<std::int64_t> level = getBatteryLevel();
  if (!level) return;
  lastBatteryLevel_ = *level;
  const bool onBattery = isOnBattery();

  // The snapshot of this pass is recorded before a new day is counted.
  batteryPredictor_->recordSnapshot(*level, !onBattery);
  const std::int64_t today = platform_.clock.dayOfMonth(platform_.clock.now());
  if (today != lastDayRecorded_) {
    lastDayRecorded_ = today;
    batteryPredictor_->incrementDayCounter();
  }

  updateIcon();

  if (!onBattery) {
    notificationShown_ = false;
    return;
  }

  const bool ready = config_.useSmartMode && batteryPredictor_->hasEnoughData();
  std::optional<std::int64_t> prediction;
  if (usesSmartRule(config_, ready))
    prediction = batteryPredictor_->predictRemainingMinutes(*level);
  const LowBatteryDecision& decision =
      lastDecision_.emplace(decideLowBattery(*level, config_, ready, prediction));
  if (!decision.conditionMet) {
    notificationShown_ = false;
    return;
  }

  // The latch is left alone from here on unless a notification goes out: a
  // mode already on or a failed switch neither sets nor clears it.
  const std::optional<std::int64_t> mode = getPowerMode();
  if (!mode || *mode == kLowPowerModeOn) return;
  if (!setPowerMode(kLowPowerModeOn)) return;
  if (notificationShown_) return;
  const Notification notice = automaticSwitchNotification(decision.subtitle);
  sendNotification(notice.title, notice.subtitle, notice.body);
  notificationShown_ = true;
}

void AppDelegate::updateIcon() {
  const bool onBattery = isOnBattery();
  const std::optional<std::int64_t> mode = getPowerMode();
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
  runFirstLaunchSetup(alerts_, platform_.tools, platform_.systemTools, platform_.user.shortName(),
                      hooks);
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
  const auto switchedAt = [this]() -> std::optional<std::int64_t> {
    const std::optional<std::int64_t> level = getBatteryLevel();
    if (!level || config_.threshold < *level) return std::nullopt;
    if (!isOnBattery()) return std::nullopt;
    const std::optional<std::int64_t> mode = getPowerMode();
    if (!mode || *mode == kLowPowerModeOn) return std::nullopt;
    if (!setPowerMode(kLowPowerModeOn)) return std::nullopt;
    return level;
  };
  const std::optional<std::int64_t> level = switchedAt();
  const Notification notice = level ? thresholdSwitchNotification(*level, config_.threshold)
                                    : thresholdUpdatedNotification(config_.threshold);
  sendNotification(notice.title, notice.subtitle, notice.body);
}

void AppDelegate::showBatteryInfo() {
  const std::optional<std::int64_t> level = getBatteryLevel();
  if (!level) {
    alerts_.runModal(batteryInfoErrorAlert());
    return;
  }
  alerts_.runModal(batteryInfoAlert(*level, isOnBattery(), config_.threshold));
}

void AppDelegate::showPowerMode() { alerts_.runModal(powerModeAlert(getPowerMode())); }

void AppDelegate::showAbout() { alerts_.runModal(aboutAlert(config_)); }

}  // namespace kestrine
