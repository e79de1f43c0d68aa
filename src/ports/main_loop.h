#pragma once

#include <functional>
#include <memory>

namespace kestrine {

class Timer {
 public:
  virtual ~Timer() = default;
  // Stops the timer for good. Destroying a timer also stops it.
  virtual void invalidate() = 0;
};

// The main thread's event loop. Every callback runs on it, one at a time.
//
// Modal rule: while a modal alert is open (between enterModal() and the
// matching leaveModal()), passes of repeating timers that fall due are held
// back. When the outermost modal closes, a timer that fell due meanwhile runs
// one deferred pass, however many of its passes were held back, from the loop,
// after the callback that showed the alert has returned. One-shot calls are not
// held back.
class MainLoop {
 public:
  virtual ~MainLoop() = default;
  // A repeating timer whose first pass runs one interval after this call.
  virtual std::unique_ptr<Timer> scheduleRepeating(double intervalSeconds,
                                                   std::function<void()> callback) = 0;
  // A one-shot call after `delaySeconds`.
  virtual void callAfter(double delaySeconds, std::function<void()> callback) = 0;
  // Ends the application: the loop stops after the current callback. Once the
  // loop has ended, the backend calls AppDelegate::applicationWillTerminate().
  virtual void terminate() = 0;
  // A modal alert opens / closes; see the modal rule above. Calls nest.
  virtual void enterModal() = 0;
  virtual void leaveModal() = 0;
};

}  // namespace kestrine
