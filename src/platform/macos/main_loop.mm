#include "platform/macos/main_loop.h"

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <cstdint>
#include <utility>

namespace kestrine {

namespace {

class MacTimer final : public Timer {
 public:
  explicit MacTimer(NSTimer* timer) : timer_(timer) {}
  ~MacTimer() override { invalidate(); }
  MacTimer(const MacTimer&) = delete;
  MacTimer& operator=(const MacTimer&) = delete;

  void invalidate() override {
    [timer_ invalidate];
    timer_ = nil;
  }

 private:
  NSTimer* timer_;
};

}  // namespace

std::unique_ptr<Timer> MacMainLoop::scheduleRepeating(double intervalSeconds,
                                                      std::function<void()> callback) {
  // The scheduled form registers the timer in the default run-loop mode only.
  // A modal alert runs the loop in the modal-panel mode, so passes that fall due
  // meanwhile wait; when the alert closes, NSTimer fires a late timer once,
  // however many intervals it missed, and only after the callback that showed
  // the alert has returned to the loop. That is the port's modal rule.
  NSTimer* timer = [NSTimer scheduledTimerWithTimeInterval:intervalSeconds
                                                   repeats:YES
                                                     block:^(NSTimer*) {
                                                       callback();
                                                     }];
  return std::make_unique<MacTimer>(timer);
}

void MacMainLoop::callAfter(double delaySeconds, std::function<void()> callback) {
  const auto delay = static_cast<std::int64_t>(delaySeconds * static_cast<double>(NSEC_PER_SEC));
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, delay), dispatch_get_main_queue(), ^{
    callback();
  });
}

void MacMainLoop::terminate() { [NSApp terminate:nil]; }

// Nothing to do: the run loop itself holds timers back during a modal alert
// (see scheduleRepeating), so there is no bookkeeping to keep here.
void MacMainLoop::enterModal() {}
void MacMainLoop::leaveModal() {}

}  // namespace kestrine
