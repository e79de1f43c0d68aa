#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/fake/recorder.h"
#include "platform/modal_gate.h"
#include "ports/clock.h"
#include "ports/main_loop.h"

namespace kestrine::fake {

// Virtual time is counted in whole microseconds since the reference date of
// WallTime, so that adding an interval always moves it, however far the
// clock is from that date. Conversions saturate at about ±146,000 years.
using Ticks = std::int64_t;
inline constexpr Ticks kTicksPerSecond = 1'000'000;
Ticks ticksFromSeconds(double seconds);
inline WallTime secondsFromTicks(Ticks ticks) {
  return static_cast<double>(ticks) / static_cast<double>(kTicksPerSecond);
}

// The main loop on virtual time. Nothing happens on its own: the owner drives
// the loop with step(), runUntil() or runFor(), and every due callback runs in
// order of due time, then of scheduling.
//
// It keeps the backends' semantics: every timer and one-shot call fires in the
// default mode and in the mode an open alert runs the loop in, as the Mac
// registers them, and the backends' ModalGate holds passes back, with one
// held pass for all timers.
//
// Time passing inside a callback (a tool that takes a while, an alert the user
// reads) is modelled by the callback itself:
//  - passTimeBlocked(): the main thread is busy; nothing runs, due work waits
//    and runs late, a late repeating timer only once.
//  - passTimeModal(): a modal alert holds the loop (between enterModal() and
//    leaveModal()); one-shot calls that fall due run inside it, repeating
//    passes are held back, and after the outermost modal closes the one held
//    pass runs from the loop, after the current callback.
//  - runFor() from a callback: an alert that does not hold the checks is open;
//    everything runs as usual meanwhile.
// The world outside the application does not wait for any of these: its
// changes (`outside`) happen at their own times, before the callbacks due at
// or after them.
class VirtualMainLoop final : public MainLoop {
 public:
  // What the loop does goes to `recorder`, when there is one.
  explicit VirtualMainLoop(WallTime start = 0.0, Recorder* recorder = nullptr);
  ~VirtualMainLoop() override;
  VirtualMainLoop(const VirtualMainLoop&) = delete;
  VirtualMainLoop& operator=(const VirtualMainLoop&) = delete;

  // MainLoop
  std::unique_ptr<Timer> scheduleRepeating(double intervalSeconds,
                                           std::function<void()> callback) override;
  void callAfter(double delaySeconds, std::function<void()> callback) override;
  void terminate() override;
  void enterModal() override;
  void leaveModal() override;

  // The loop's current time.
  WallTime now() const { return secondsFromTicks(now_); }
  Ticks nowTicks() const { return now_; }

  // Runs the next due callback, moving time forward to it. False when nothing
  // is scheduled or the loop has been terminated.
  bool step();
  // Runs everything due up to and including `time`, then sets the time to it
  // (unless the loop was terminated on the way, which stops it where it was).
  void runUntil(WallTime time) { runUntilTicks(ticksFromSeconds(time)); }
  void runUntilTicks(Ticks time);
  void runFor(double seconds);

  // For callbacks: time passes while they run (see above).
  void passTimeBlocked(double seconds);
  void passTimeModal(double seconds);

  bool isTerminated() const { return terminated_; }
  // When the next scheduled callback or outside change is due, if any.
  std::optional<Ticks> nextDueTicks() const;
  std::size_t pendingCount() const { return queue_.size(); }
  std::size_t activeTimerCount() const;

  // The machine around the application: `due` says when its next change is,
  // if it has one, and `make` makes that change.
  struct Outside {
    std::function<std::optional<Ticks>()> due;
    std::function<void()> make;
  };
  Outside outside;

 private:
  struct TimerState;
  struct Entry {
    std::function<void()> oneShot;      // set for a callAfter() call
    std::shared_ptr<TimerState> timer;  // set for a repeating pass
    bool deferred = false;              // the pass held back by a modal
  };
  using Key = std::pair<Ticks, std::uint64_t>;  // due time, then order of scheduling

  void enqueue(Ticks due, Entry entry);
  void dispatch(Ticks due, Entry entry);
  void runDueUpTo(Ticks time);
  std::optional<Ticks> outsideDue() const { return outside.due ? outside.due() : std::nullopt; }
  void emit(LoopEvent::Kind kind, std::uint64_t timerId = 0);

  Recorder* recorder_;
  Ticks now_;
  std::uint64_t nextSequence_ = 0;
  std::uint64_t nextTimerId_ = 1;
  std::map<Key, Entry> queue_;
  bool terminated_ = false;
  ModalGate gate_;
  std::shared_ptr<TimerState> held_;  // the timer whose pass waits for the alerts to close
};

}  // namespace kestrine::fake
