#pragma once

#include <gtk/gtk.h>

#include <list>
#include <vector>

#include "ports/alerts.h"

namespace kestrine::linux_desktop {

// The response an alert gives when its window is closed without a button:
// the last button (the declining one, "Quit" in the welcome), or the single
// OK of an alert without buttons.
int responseForClosedAlert(const Alert& alert);

// Whether the caller needs the user's answer: only a choice between buttons.
// Every other alert only informs, and is an ordinary window that holds nothing.
bool needsAnswer(const Alert& alert);

// Alerts as GtkMessageDialogs: the title as the bold text (and as the window
// title), the body as the secondary text, the buttons in the order given
// answering 1000, 1001, ...; a single "OK" when none are given. Return
// activates the first button. An alert that only informs (see needsAnswer())
// is not modal, whether or not the core would let it hold the checks: a window
// forgotten behind another must not stop the protection. It is shown with the
// values of when it opened, answers 1000 at once and closes itself when
// answered. An alert with a choice is modal and runs until answered.
class GtkAlerts final : public Alerts {
 public:
  int runModal(const Alert& alert) override;

  // Closes every open alert as if its window were closed, and answers every
  // later one at once the same way: the application is ending, and an alert
  // left open would keep the caller's callback, and so the process, alive.
  void closeAll();

 private:
  std::vector<GtkWidget*> open_;
  // The non-modal ones still open (null once closed); a list, so that the
  // entries stay where the "destroy" handlers write.
  std::list<GtkWidget*> messages_;
  bool closing_ = false;
};

}  // namespace kestrine::linux_desktop
