#pragma once

namespace kestrine {

// The bookkeeping behind the main loop's modal rule, shared by the desktop
// backends' loops and the virtual one: a repeating pass that falls due while a
// modal alert is open is held back, and once the outermost modal has closed
// one held-back pass runs.
//
// It keeps a single "held" flag, not one per timer: that is enough for
// Kestrine, which has exactly one repeating timer (the check timer). With
// several repeating timers, passes held back from different timers would
// collapse into one, and the caller would have to remember which timer it
// belongs to.
class ModalGate {
 public:
  void enter() { ++depth_; }
  // Returns true when the outermost modal closed with a pass held back; the
  // caller then schedules that one pass to run from the loop. Unmatched calls
  // are ignored.
  bool leave() {
    if (depth_ > 0) --depth_;
    if (depth_ == 0 && held_) {
      held_ = false;
      return true;
    }
    return false;
  }
  // Asked by a repeating timer that falls due: false means hold the pass back.
  bool admit() {
    if (depth_ == 0) return true;
    held_ = true;
    return false;
  }
  bool isModal() const { return depth_ > 0; }

 private:
  int depth_ = 0;
  bool held_ = false;
};

}  // namespace kestrine
