#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/observers.h"
#include "ports/menu_model.h"
#include "ports/status_item.h"

namespace kestrine::fake {

struct StatusBarEvent {
  enum class Kind { kItemCreated, kTitle, kMenu };
  Kind kind;
  std::string title;           // for kTitle
  const Menu* menu = nullptr;  // for kMenu; valid during the notification only
};

// A status bar that remembers everything shown on it: the items created,
// every title and every menu in order.
class RecordingStatusBar final : public StatusBar {
 public:
  RecordingStatusBar();
  ~RecordingStatusBar() override;

  std::unique_ptr<StatusItem> createStatusItem() override;

  int itemsCreated() const;
  // Every title set, oldest first, and the latest one.
  const std::vector<std::string>& titles() const;
  std::optional<std::string> title() const;
  // Every menu set, oldest first, and the latest one (null before the first).
  const std::vector<Menu>& menus() const;
  const Menu* menu() const;
  // Forgets all but the latest title and menu, for runs too long to keep them.
  void clearLog();

  Observers<StatusBarEvent> observers;

  struct State;  // what the bar and its items record; defined in the .cpp

 private:
  std::shared_ptr<State> state_;  // shared with the items, which may outlive the bar
};

}  // namespace kestrine::fake
