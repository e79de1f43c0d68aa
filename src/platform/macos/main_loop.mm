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
  // A modal alert runs the loop in the modal-panel mode. The timer fires there
  // too, so that an alert that does not hold the checks (the launch message)
  // lets passes run; while an alert that holds them is open, the gate keeps the
  // pass back and leaveModal() runs it once afterwards.
  NSTimer* timer = [NSTimer timerWithTimeInterval:intervalSeconds
                                          repeats:YES
                                            block:^(NSTimer* fired) {
                                              if (!gate_.admit()) {
                                                held_ = fired;
                                                return;
                                              }
                                              callback();
                                            }];
  NSRunLoop* loop = [NSRunLoop currentRunLoop];
  [loop addTimer:timer forMode:NSDefaultRunLoopMode];
  [loop addTimer:timer forMode:NSModalPanelRunLoopMode];
  return std::make_unique<MacTimer>(timer);
}

void MacMainLoop::callAfter(double delaySeconds, std::function<void()> callback) {
  const auto delay = static_cast<std::int64_t>(delaySeconds * static_cast<double>(NSEC_PER_SEC));
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, delay), dispatch_get_main_queue(), ^{
    callback();
  });
}

void MacMainLoop::terminate() { [NSApp terminate:nil]; }

void MacMainLoop::enterModal() { gate_.enter(); }

// The held pass runs from the main queue, after the callback that showed the
// alert has returned. Firing keeps the timer's own schedule; a pass that finds
// another alert open by then waits for that one too.
void MacMainLoop::leaveModal() {
  if (!gate_.leave()) return;
  dispatch_async(dispatch_get_main_queue(), ^{
    NSTimer* timer = held_;
    held_ = nil;
    if ([timer isValid]) [timer fire];
  });
}

}  // namespace kestrine
