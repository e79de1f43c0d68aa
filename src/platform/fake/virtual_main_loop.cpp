#include "platform/fake/virtual_main_loop.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace kestrine::fake {

namespace {

constexpr Ticks kTickLimit = Ticks{1} << 62;

// A moment `delay` after `time`, stopping at the limit instead of wrapping.
Ticks later(Ticks time, Ticks delay) { return std::min(time + delay, kTickLimit); }

}  // namespace

Ticks ticksFromSeconds(double seconds) {
  constexpr auto kLimit = static_cast<double>(kTickLimit);
  if (std::isnan(seconds)) return 0;
  const double ticks = std::round(seconds * static_cast<double>(kTicksPerSecond));
  return static_cast<Ticks>(std::clamp(ticks, -kLimit, kLimit));
}

struct VirtualMainLoop::TimerState {
  std::uint64_t id = 0;
  Ticks interval = 0;
  std::function<void()> callback;
  bool active = true;
  Ticks nextDue = 0;  // due time of the regular pass in the queue
};

namespace {

class VirtualTimer final : public Timer {
 public:
  explicit VirtualTimer(std::shared_ptr<void> state, bool* active)
      : state_(std::move(state)), active_(active) {}
  ~VirtualTimer() override { invalidate(); }
  void invalidate() override { *active_ = false; }

 private:
  std::shared_ptr<void> state_;  // keeps `active_` alive
  bool* active_;
};

}  // namespace

VirtualMainLoop::VirtualMainLoop(WallTime start, Recorder* recorder)
    : recorder_(recorder), now_(ticksFromSeconds(start)) {}

VirtualMainLoop::~VirtualMainLoop() = default;

std::unique_ptr<Timer> VirtualMainLoop::scheduleRepeating(double intervalSeconds,
                                                          std::function<void()> callback) {
  auto state = std::make_shared<TimerState>();
  state->id = nextTimerId_++;
  // A zero interval would never let time move.
  state->interval = std::max<Ticks>(ticksFromSeconds(intervalSeconds), kTicksPerSecond / 1000);
  state->callback = std::move(callback);
  state->nextDue = later(now_, state->interval);
  enqueue(state->nextDue, Entry{.oneShot = {}, .timer = state, .deferred = false});
  bool* active = &state->active;
  return std::make_unique<VirtualTimer>(std::move(state), active);
}

void VirtualMainLoop::callAfter(double delaySeconds, std::function<void()> callback) {
  enqueue(later(now_, std::max<Ticks>(0, ticksFromSeconds(delaySeconds))),
          Entry{.oneShot = std::move(callback), .timer = nullptr, .deferred = false});
}

void VirtualMainLoop::terminate() {
  if (terminated_) return;
  terminated_ = true;
  emit(LoopEvent::Kind::kTerminate);
}

void VirtualMainLoop::enterModal() {
  if (!gate_.isModal()) emit(LoopEvent::Kind::kModalEnter);
  gate_.enter();
}

void VirtualMainLoop::leaveModal() {
  if (!gate_.isModal()) return;
  const bool passHeld = gate_.leave();
  if (gate_.isModal()) return;
  emit(LoopEvent::Kind::kModalLeave);
  std::shared_ptr<TimerState> timer = std::move(held_);
  held_.reset();
  // The held pass, queued behind what is due now so that it runs once the
  // callback that showed the alert returns. A regular pass due by now runs
  // anyway and stands for it.
  if (!passHeld || !timer || !timer->active || timer->nextDue <= now_) return;
  enqueue(now_, Entry{.oneShot = {}, .timer = timer, .deferred = true});
}

bool VirtualMainLoop::step() {
  if (terminated_) return false;
  const auto change = outsideDue();
  if (change && (queue_.empty() || *change < queue_.begin()->first.first)) {
    now_ = std::max(now_, *change);
    outside.make();
    return true;
  }
  if (queue_.empty()) return false;
  auto node = queue_.extract(queue_.begin());
  now_ = std::max(now_, node.key().first);
  dispatch(node.key().first, std::move(node.mapped()));
  return true;
}

void VirtualMainLoop::runUntilTicks(Ticks time) {
  runDueUpTo(time);
  if (!terminated_) now_ = std::max(now_, time);
}

void VirtualMainLoop::runFor(double seconds) {
  runUntilTicks(later(now_, ticksFromSeconds(seconds)));
}

void VirtualMainLoop::passTimeBlocked(double seconds) {
  const Ticks until = later(now_, std::max<Ticks>(0, ticksFromSeconds(seconds)));
  for (auto change = outsideDue(); change && *change <= until; change = outsideDue()) {
    now_ = std::max(now_, *change);
    outside.make();
  }
  now_ = until;
}

void VirtualMainLoop::passTimeModal(double seconds) {
  const Ticks until = later(now_, std::max<Ticks>(0, ticksFromSeconds(seconds)));
  enterModal();
  runDueUpTo(until);
  now_ = std::max(now_, until);
  leaveModal();
}

std::optional<Ticks> VirtualMainLoop::nextDueTicks() const {
  const auto change = outsideDue();
  if (queue_.empty()) return change;
  const Ticks due = queue_.begin()->first.first;
  return change ? std::min(*change, due) : due;
}

std::size_t VirtualMainLoop::activeTimerCount() const {
  std::unordered_set<const TimerState*> timers;
  for (const auto& [key, entry] : queue_) {
    if (entry.timer && entry.timer->active && !entry.deferred) timers.insert(entry.timer.get());
  }
  return timers.size();
}

void VirtualMainLoop::enqueue(Ticks due, Entry entry) {
  queue_.emplace(Key{due, nextSequence_++}, std::move(entry));
}

void VirtualMainLoop::runDueUpTo(Ticks time) {
  for (auto due = nextDueTicks(); !terminated_ && due && *due <= time; due = nextDueTicks()) step();
}

void VirtualMainLoop::dispatch(Ticks due, Entry entry) {
  if (!entry.timer) {
    emit(LoopEvent::Kind::kOneShot);
    if (entry.oneShot) entry.oneShot();
    return;
  }
  const std::shared_ptr<TimerState> timer = std::move(entry.timer);
  if (!timer->active) return;

  if (!gate_.admit()) {
    held_ = timer;
    emit(LoopEvent::Kind::kHeldPass, timer->id);
  } else {
    emit(entry.deferred ? LoopEvent::Kind::kDeferredPass : LoopEvent::Kind::kTimerPass, timer->id);
    timer->callback();
  }
  if (entry.deferred || !timer->active) return;

  // The next regular pass stays on the timer's grid; the passes missed while
  // the loop was busy are skipped, so a late timer runs only once.
  Ticks next = later(due, timer->interval);
  if (next <= now_)
    next = later(next, (now_ - next) / timer->interval * timer->interval + timer->interval);
  // At the limit of time the timer stops: a pass due there would run forever.
  if (next == kTickLimit) return;
  timer->nextDue = next;
  enqueue(next, Entry{.oneShot = {}, .timer = timer, .deferred = false});
}

void VirtualMainLoop::emit(LoopEvent::Kind kind, std::uint64_t timerId) {
  if (recorder_) recorder_->add(LoopEvent{.kind = kind, .time = now(), .timerId = timerId});
}

}  // namespace kestrine::fake
