#pragma once

#include <string>
#include <string_view>

#include "platform/fake/recorder.h"
#include "ports/console.h"

namespace kestrine::fake {

// Records the application's one-line messages instead of printing them.
class RecordingConsole final : public Console {
 public:
  explicit RecordingConsole(Recorder* recorder = nullptr) : recorder_(recorder) {}
  void printLine(std::string_view line) override {
    if (recorder_) recorder_->add(Printed{std::string(line)});
  }

 private:
  Recorder* recorder_;
};

}  // namespace kestrine::fake
