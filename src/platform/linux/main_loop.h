#pragma once

#include <glib.h>

#include <functional>
#include <memory>

#include "platform/modal_gate.h"
#include "ports/main_loop.h"

namespace kestrine::linux_desktop {

// The main loop on GLib's default context. The application's code runs one
// callback at a time: while one waits for another process (waitUntil()), the
// loop keeps serving the tray and the signals, but a timer pass that falls due
// is skipped, and one-shot calls and commands (runCommand()) are queued and
// run in order once that callback has returned. gtk_dialog_run() runs a nested
// loop too, so repeating passes ask the modal gate before they run; a pass held
// back while a modal alert was open runs once, from an idle source, after the
// outermost alert has closed.
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

  // Runs `command` (a menu choice, the launch) now, or, when the application's
  // code is running already (waiting for a daemon), after it, in order. Once
  // terminate() was called, nothing queued runs.
  void runCommand(std::function<void()> command);

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
