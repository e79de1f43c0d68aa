#include "platform/fake/fake_platform.h"

namespace kestrine::fake {

namespace {

std::string describe(const ToolResult& result) {
  if (!result.started) return "not started (" + result.startError + ")";
  if (result.timedOut) return "timed out";
  return "exit " + std::to_string(result.exitStatus);
}

}  // namespace

FakePlatform::FakePlatform(FakeOptions options)
    : loop(options.start),
      clock(loop, options.utcOffsetSeconds),
      alerts(&loop),
      tools(&loop),
      user(options.userName),
      home(options.home),
      platform_{
          .statusBar = statusBar,
          .alerts = alerts,
          .notifier = notifier,
          .mainLoop = loop,
          .power = power,
          .clock = clock,
          .home = home,
          .console = console,
          .oneTimeSetup = &setup,
      } {
  if (!options.journal) return;
  loop.observers.add([this](const LoopEvent& event) {
    std::string text = toString(event.kind);
    if (event.timerId != 0) text += " #" + std::to_string(event.timerId);
    record("loop", std::move(text));
  });
  statusBar.observers.add([this](const StatusBarEvent& event) {
    switch (event.kind) {
      case StatusBarEvent::Kind::kItemCreated:
        record("status", "item created");
        break;
      case StatusBarEvent::Kind::kTitle:
        record("status", "title " + event.title);
        break;
      case StatusBarEvent::Kind::kMenu:
        record("status", "menu of " + std::to_string(event.menu->items.size()) + " items");
        break;
    }
  });
  alerts.onShow.add([this](const Alert& alert) { record("alert", "show " + alert.title); });
  alerts.onAnswer.add([this](const ShownAlert& shown) {
    record("alert", "answer " + std::to_string(shown.answer) + " to " + shown.alert.title);
  });
  notifier.observers.add([this](const Notification& notification) {
    record("notification",
           notification.title + " | " + notification.subtitle + " | " + notification.body);
  });
  tools.observers.add([this](const ToolRun& run) {
    record("tool", commandLine(run.request) + " -> " + describe(run.result));
  });
  console.observers.add([this](const std::string& line) { record("console", line); });
}

std::vector<std::string> FakePlatform::journalOf(std::string_view source) const {
  std::vector<std::string> texts;
  for (const JournalEntry& entry : journal_) {
    if (entry.source == source) texts.push_back(entry.text);
  }
  return texts;
}

void FakePlatform::clearLogs() {
  clearJournal();
  tools.clearLog();
  console.clearLog();
  notifier.clearLog();
  alerts.clearLog();
  statusBar.clearLog();
  power.log.clear();
}

void FakePlatform::record(std::string source, std::string text) {
  journal_.push_back(
      JournalEntry{.time = loop.now(), .source = std::move(source), .text = std::move(text)});
}

}  // namespace kestrine::fake
