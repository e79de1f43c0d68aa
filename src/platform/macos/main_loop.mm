#include "platform/macos/main_loop.h"

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#include <algorithm>

namespace kestrine::macos {

namespace {

// How late a pass may run, so that macOS can wake for it together with other
// work: a tenth of the interval, and at most 3 s.
constexpr double kToleranceShare = 0.1;
constexpr double kMaxToleranceSeconds = 3.0;

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

// Adds `timer` to the main run loop in the default mode and in the mode an
// open alert runs it in (-[NSAlert runModal]), so that it fires while an
// alert is open too. Work queued on the main dispatch queue would wait for the
// alert to close. Not in the menu's tracking mode: the open status menu holds
// the checks back until it closes.
void addToMainLoop(NSTimer* timer) {
  NSRunLoop* loop = [NSRunLoop mainRunLoop];
  [loop addTimer:timer forMode:NSDefaultRunLoopMode];
  [loop addTimer:timer forMode:NSModalPanelRunLoopMode];
}

// A one-shot call on the main run loop after `seconds`, in the same modes.
void callOnMainLoopAfter(double seconds, void (^block)()) {
  NSTimer* timer = [NSTimer timerWithTimeInterval:seconds
                                          repeats:NO
                                            block:^(NSTimer* /*fired*/) {
                                              block();
                                            }];
  addToMainLoop(timer);
}

}  // namespace

std::unique_ptr<Timer> MacMainLoop::scheduleRepeating(double intervalSeconds,
                                                      std::function<void()> callback) {
  // A pass that falls due while an alert that holds the checks is open is kept
  // back by the gate, and leaveModal() runs it once afterwards. The launch
  // message does not hold them, so passes run while it is open.
  NSTimer* timer = [NSTimer timerWithTimeInterval:intervalSeconds
                                          repeats:YES
                                            block:^(NSTimer* fired) {
                                              if (!gate_.admit()) {
                                                held_ = fired;
                                                return;
                                              }
                                              callback();
                                            }];
  [timer setTolerance:std::min(intervalSeconds * kToleranceShare, kMaxToleranceSeconds)];
  addToMainLoop(timer);
  return std::make_unique<MacTimer>(timer);
}

void MacMainLoop::callAfter(double delaySeconds, std::function<void()> callback) {
  callOnMainLoopAfter(delaySeconds, ^{
    callback();
  });
}

void MacMainLoop::terminate() { [NSApp terminate:nil]; }

void MacMainLoop::enterModal() { gate_.enter(); }

// The held pass runs from the run loop, after the callback that showed the
// alert has returned. Firing keeps the timer's own schedule; a pass that finds
// another alert open by then waits for that one too.
void MacMainLoop::leaveModal() {
  if (!gate_.leave()) return;
  NSTimer* timer = held_;
  held_ = nil;
  callOnMainLoopAfter(0, ^{
    if ([timer isValid]) [timer fire];
  });
}

}  // namespace kestrine::macos
