#include "platform/fake/recording_status_bar.h"

namespace kestrine::fake {

struct RecordingStatusBar::State {
  std::optional<std::string> title;
  std::optional<Menu> menu;
  Recorder* recorder = nullptr;  // null once the bar is gone

  void record(Seen seen) const {
    if (recorder) recorder->add(std::move(seen));
  }
};

namespace {

class RecordingStatusItem final : public StatusItem {
 public:
  explicit RecordingStatusItem(std::shared_ptr<RecordingStatusBar::State> state)
      : state_(std::move(state)) {}

  void setTitle(const std::string& title) override {
    state_->title = title;
    state_->record(TitleSet{title});
  }

  void setMenu(const Menu& menu) override {
    state_->menu = menu;
    state_->record(MenuSet{menu});
  }

 private:
  std::shared_ptr<RecordingStatusBar::State> state_;
};

}  // namespace

RecordingStatusBar::RecordingStatusBar(Recorder* recorder) : state_(std::make_shared<State>()) {
  state_->recorder = recorder;
}

RecordingStatusBar::~RecordingStatusBar() { state_->recorder = nullptr; }

std::unique_ptr<StatusItem> RecordingStatusBar::createStatusItem() {
  state_->record(StatusItemCreated{});
  return std::make_unique<RecordingStatusItem>(state_);
}

std::optional<std::string> RecordingStatusBar::title() const { return state_->title; }

const Menu* RecordingStatusBar::menu() const { return state_->menu ? &*state_->menu : nullptr; }

}  // namespace kestrine::fake
