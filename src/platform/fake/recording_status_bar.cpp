#include "platform/fake/recording_status_bar.h"

namespace kestrine::fake {

struct RecordingStatusBar::State {
  int itemsCreated = 0;
  std::vector<std::string> titles;
  std::vector<Menu> menus;
  Observers<StatusBarEvent>* observers = nullptr;  // null once the bar is gone

  void notify(const StatusBarEvent& event) const {
    if (observers) observers->notify(event);
  }
};

namespace {

class RecordingStatusItem final : public StatusItem {
 public:
  explicit RecordingStatusItem(std::shared_ptr<RecordingStatusBar::State> state)
      : state_(std::move(state)) {}

  void setTitle(const std::string& title) override {
    state_->titles.push_back(title);
    state_->notify({.kind = StatusBarEvent::Kind::kTitle, .title = title, .menu = nullptr});
  }

  void setMenu(const Menu& menu) override {
    state_->menus.push_back(menu);
    state_->notify(
        {.kind = StatusBarEvent::Kind::kMenu, .title = {}, .menu = &state_->menus.back()});
  }

 private:
  std::shared_ptr<RecordingStatusBar::State> state_;
};

}  // namespace

RecordingStatusBar::RecordingStatusBar() : state_(std::make_shared<State>()) {
  state_->observers = &observers;
}

RecordingStatusBar::~RecordingStatusBar() { state_->observers = nullptr; }

std::unique_ptr<StatusItem> RecordingStatusBar::createStatusItem() {
  ++state_->itemsCreated;
  state_->notify({.kind = StatusBarEvent::Kind::kItemCreated, .title = {}, .menu = nullptr});
  return std::make_unique<RecordingStatusItem>(state_);
}

int RecordingStatusBar::itemsCreated() const { return state_->itemsCreated; }

void RecordingStatusBar::clearLog() {
  if (state_->titles.size() > 1)
    state_->titles.erase(state_->titles.begin(), state_->titles.end() - 1);
  if (state_->menus.size() > 1) state_->menus.erase(state_->menus.begin(), state_->menus.end() - 1);
}

const std::vector<std::string>& RecordingStatusBar::titles() const { return state_->titles; }

std::optional<std::string> RecordingStatusBar::title() const {
  if (state_->titles.empty()) return std::nullopt;
  return state_->titles.back();
}

const std::vector<Menu>& RecordingStatusBar::menus() const { return state_->menus; }

const Menu* RecordingStatusBar::menu() const {
  return state_->menus.empty() ? nullptr : &state_->menus.back();
}

}  // namespace kestrine::fake
