#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/fake/recorder.h"
#include "ports/menu_model.h"
#include "ports/status_item.h"

namespace kestrine::fake {

// A status bar that knows the latest title and menu shown on it and records
// each item created, title and menu.
class RecordingStatusBar final : public StatusBar {
 public:
  explicit RecordingStatusBar(Recorder* recorder = nullptr);
  ~RecordingStatusBar() override;

  std::unique_ptr<StatusItem> createStatusItem() override;

  std::optional<std::string> title() const;
  const Menu* menu() const;  // null before the first

  struct State;  // what the bar and its items share; defined in the .cpp

 private:
  std::shared_ptr<State> state_;  // shared with the items, which may outlive the bar
};

}  // namespace kestrine::fake
