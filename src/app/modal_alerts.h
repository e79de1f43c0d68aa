#pragma once

#include "ports/alerts.h"
#include "ports/main_loop.h"

namespace kestrine {

// Shows alerts through the platform's alerts while telling the main loop that a
// modal alert holds it, so that check passes wait until it is answered. An
// alert that does not hold the checks is shown without telling the loop.
class ModalAlerts final : public Alerts {
 public:
  ModalAlerts(Alerts& alerts, MainLoop& loop) : alerts_(alerts), loop_(loop) {}

  int runModal(const Alert& alert) override {
    struct Open {
      int& count;
      explicit Open(int& c) : count(++c) {}
      ~Open() { --count; }
    } open(open_);
    if (!alert.holdsChecks) return alerts_.runModal(alert);
    loop_.enterModal();
    struct Leave {
      MainLoop& loop;
      ~Leave() { loop.leaveModal(); }
    } leave{loop_};
    return alerts_.runModal(alert);
  }

  // Whether an alert shown through here is open now, whether it holds the
  // checks or not.
  bool isOpen() const { return open_ > 0; }

 private:
  Alerts& alerts_;
  MainLoop& loop_;
  int open_ = 0;
};

}  // namespace kestrine
