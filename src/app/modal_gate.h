#pragma once

namespace kestrine {

// The bookkeeping behind the main loop's modal rule, shared by every backend:
// a repeating pass that falls due while a modal alert is open is held back, and
// at most one held-back pass runs once the outermost modal has closed.
class ModalGate {
 public:
  void enter() { ++depth_; }
  // Returns true when the outermost modal closed with a pass held back; the
  // caller then schedules one pass to run from the loop.
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
