#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "ports/alerts.h"
#include "ports/clock.h"
#include "ports/menu_model.h"
#include "ports/notifications.h"
#include "ports/tool_runner.h"

namespace kestrine::fake {

// Something the main loop did.
struct LoopEvent {
  enum class Kind {
    kTimerPass,     // a repeating timer's pass ran
    kHeldPass,      // a pass fell due while modal and was held back
    kDeferredPass,  // the one held-back pass, run after the modal closed
    kOneShot,       // a callAfter() callback ran
    kModalEnter,
    kModalLeave,
    kTerminate,
  };
  Kind kind;
  WallTime time;
  std::uint64_t timerId = 0;  // for the three pass kinds
};

// One run of a tool: what was asked, what came back, and when (virtual time).
struct ToolRun {
  ToolRequest request;
  ToolResult result;
  WallTime startedAt = 0.0;
  WallTime endedAt = 0.0;
};

struct StatusItemCreated {};
struct TitleSet {
  std::string title;
  bool operator==(const TitleSet&) const = default;
};
struct MenuSet {
  Menu menu;
};
struct AlertOpened {
  Alert alert;
};
struct AlertAnswered {
  Alert alert;
  int answer = kAlertFirstButton;
  WallTime shownAt = 0.0;
  WallTime answeredAt = 0.0;
};
struct Printed {
  std::string line;
};
// What the scripted power port was asked for.
enum class PowerRequest { kLevel, kOnBattery, kMode, kSwitch };

using Seen = std::variant<LoopEvent, ToolRun, StatusItemCreated, TitleSet, MenuSet, AlertOpened,
                          AlertAnswered, Notification, Printed, PowerRequest>;

// What the fake ports saw, in the order they saw it: one record that all the
// ports of a FakePlatform share, or that a test hands to the one fake it uses.
// Listeners hear each entry as it comes; the entries are kept only when asked
// for, since a replay of a month has no use for them.
class Recorder {
 public:
  explicit Recorder(bool keep = true) : keep_(keep) {}
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  void add(Seen seen) {
    for (const auto& listener : listeners_) listener(seen);
    if (keep_) entries_.push_back(std::move(seen));
  }
  void listen(std::function<void(const Seen&)> listener) {
    listeners_.push_back(std::move(listener));
  }

  const std::vector<Seen>& entries() const { return entries_; }
  // The kept entries of one kind, in order.
  template <typename T>
  std::vector<T> all() const {
    std::vector<T> found;
    for (const Seen& seen : entries_) {
      if (const T* entry = std::get_if<T>(&seen)) found.push_back(*entry);
    }
    return found;
  }
  void clear() { entries_.clear(); }

 private:
  bool keep_;
  std::vector<std::function<void(const Seen&)>> listeners_;
  std::vector<Seen> entries_;
};

}  // namespace kestrine::fake
