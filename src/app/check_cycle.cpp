#include "app/check_cycle.h"

#include "app/app_delegate.h"
#include "ui/messages.h"

namespace kestrine {

LowBatteryDecision decideLowBattery(std::int64_t level, const Config& config, bool predictorReady,
                                    std::optional<std::int64_t> prediction,
                                    const Wording& wording) {
  if (!usesSmartRule(config, predictorReady)) {
    return {LowBatteryRule::kThreshold, level <= config.threshold,
            fillIn(wording.thresholdReason, {level}), std::nullopt};
  }
  if (prediction) {
    return {LowBatteryRule::kSmart, *prediction <= config.smartModeTargetMinutes,
            fillIn(wording.smartReason, {*prediction}), prediction};
  }
  return {LowBatteryRule::kFallback, level <= config.threshold,
          fillIn(wording.fallbackReason, {level}), std::nullopt};
}

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
