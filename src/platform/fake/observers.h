#pragma once

#include <functional>
#include <vector>

namespace kestrine::fake {

// A list of callbacks told about each event of a fake port, so that a test, a
// timeline printer and the virtual laptop can all listen at once.
template <typename Event>
class Observers {
 public:
  void add(std::function<void(const Event&)> observer) {
    observers_.push_back(std::move(observer));
  }
  void notify(const Event& event) const {
    for (const auto& observer : observers_) observer(event);
  }

 private:
  std::vector<std::function<void(const Event&)>> observers_;
};

}  // namespace kestrine::fake
