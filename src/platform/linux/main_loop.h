#pragma once

#include <glib.h>

#include <functional>
#include <memory>

#include "platform/linux/modal_gate.h"
#include "ports/main_loop.h"

namespace kestrine::linux_desktop {

// The main loop on GLib's default context. gtk_dialog_run() runs a nested loop
// that still dispatches timeouts, so repeating passes ask the modal gate
// before they run; a pass held back while an alert was open runs once, from an
// idle source, after the outermost alert has closed. While the backend waits
// for a daemon's answer, passes are skipped instead (see waitUntil()).
class GlibMainLoop final : public MainLoop {
 public:
  GlibMainLoop();
  ~GlibMainLoop() override;

  std::unique_ptr<Timer> scheduleRepeating(double intervalSeconds,
                                           std::function<void()> callback) override;
  void callAfter(double delaySeconds, std::function<void()> callback) override;
  void terminate() override;
  void enterModal() override;
  void leaveModal() override;

  // Runs until terminate().
  void run();

  // Runs the loop while a call to another process is in flight, until
  // `answered()` holds, so that the menu, the tray and the signals are served
  // meanwhile. Repeating passes that fall due during the wait are skipped, not
  // held, so that they never pile up behind a slow daemon. False, without
  // waiting any longer, once terminate() was called: the caller gives up.
  bool waitUntil(const std::function<bool()>& answered);

  // Shared with the timers, which may outlive neither the loop nor each other.
  struct State;

 private:
  GMainLoop* loop_;
  std::shared_ptr<State> state_;
};

}  // namespace kestrine::linux_desktop
