#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/fake/observers.h"
#include "ports/console.h"

namespace kestrine::fake {

// Keeps the application's one-line messages instead of printing them.
class RecordingConsole final : public Console {
 public:
  void printLine(std::string_view line) override {
    lines_.emplace_back(line);
    observers.notify(lines_.back());
  }

  const std::vector<std::string>& lines() const { return lines_; }
  void clearLog() { lines_.clear(); }

  Observers<std::string> observers;

 private:
  std::vector<std::string> lines_;
};

}  // namespace kestrine::fake
