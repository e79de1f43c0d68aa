#pragma once

#include <glib.h>

#include <functional>
#include <memory>

#include "ports/main_loop.h"
#include "ui/modal_gate.h"

namespace kestrine::linux_desktop {

// The main loop on GLib's default context. gtk_dialog_run() runs a nested loop
// that still dispatches timeouts, so repeating passes ask the modal gate
// before they run; a pass held back while an alert was open runs once, from an
// idle source, after the outermost alert has closed.
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

  // Shared with the timers, which may outlive neither the loop nor each other.
  struct State;

 private:
  GMainLoop* loop_;
  std::shared_ptr<State> state_;
};

}  // namespace kestrine::linux_desktop
