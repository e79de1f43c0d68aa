#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "ports/clock.h"
#include "ports/menu_model.h"
#include "storage/json_writing.h"

namespace kestrine::sim {

// The menu as a JSON array of items (see docs/simulator.md).
std::string menuJson(const std::vector<MenuItem>& items);
// "2026-03-14T09:00:30Z"
std::string isoTime(WallTime time);

// One thing that happened during a run.
struct SimEvent {
  double t = 0.0;       // seconds since the start of the run, to the millisecond
  std::string type;     // "tool", "title", "menu", ...
  std::string summary;  // one readable line, as timelines and expectation files use it
  std::string json;     // the whole event as one JSON object
};

// Passes the events of a run on as they happen: as JSON lines to its stream,
// when it has one, and to its listener. None is kept, so a run of any length
// takes the same memory.
class EventLog {
 public:
  explicit EventLog(WallTime start) : start_(start) {}

  // `fields` must not hold "t", "time" or "type"; they are put first.
  void add(WallTime now, std::string_view type, const JsonObject& fields, std::string summary);

  void setStream(std::ostream* out) { out_ = out; }
  std::function<void(const SimEvent&)> listener;

 private:
  WallTime start_;
  std::ostream* out_ = nullptr;
};

// Notices files written in the home folder by comparing what is there with
// what was there at the last look.
class HomeWatcher {
 public:
  struct Change {
    std::string path;  // relative to the home folder
    bool removed = false;
    std::uintmax_t size = 0;
  };
  explicit HomeWatcher(std::filesystem::path home) : home_(std::move(home)) {}
  std::vector<Change> poll();

 private:
  struct Seen {
    std::uintmax_t size;
    std::int64_t mtime;
    std::uintmax_t inode;
  };
  std::filesystem::path home_;
  std::map<std::string, Seen> seen_;
};

}  // namespace kestrine::sim
