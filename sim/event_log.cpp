#include "sim/event_log.h"

#include <sys/stat.h>

#include <cmath>
#include <system_error>

#include "platform/fake/calendar.h"
#include "sim/menu_actions.h"

namespace kestrine::sim {

std::string menuJson(const std::vector<MenuItem>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ',';
    const MenuItem& item = items[i];
    JsonObject o;
    if (item.isSeparator) {
      o.add("separator", true);
    } else {
      o.add("title", item.title)
          .add("enabled", item.enabled)
          .add("action", item.action ? menuActionWord(*item.action) : std::string_view())
          .add("tag", item.tag)
          .add("key", item.keyEquivalent);
      if (item.hasSubmenu()) o.addRaw("submenu", menuJson(item.submenu));
    }
    out += o.str();
  }
  return out + "]";
}

std::string isoTime(WallTime time) { return fake::formatUtc(time, "%Y-%m-%dT%H:%M:%SZ"); }

void EventLog::add(WallTime now, std::string_view type, const JsonObject& fields,
                   std::string summary) {
  SimEvent event;
  // Milliseconds are the finest step a scenario can name.
  event.t = std::round((now - start_) * 1000.0) / 1000.0;
  if (event.t == 0.0) event.t = 0.0;  // no "-0.000"
  JsonObject head;
  // The time of day from the same rounded offset, so that the two always agree.
  head.addNumber("t", event.t, 3).add("time", isoTime(start_ + event.t)).add("type", type);
  std::string body = fields.str();
  std::string json = head.str();
  if (body.size() > 2) {
    json.pop_back();
    json += ',' + body.substr(1);
  }
  event.type = std::string(type);
  event.summary = std::move(summary);
  event.json = std::move(json);
  if (out_) *out_ << event.json << '\n';
  if (listener) listener(event);
}

std::vector<HomeWatcher::Change> HomeWatcher::poll() {
  std::vector<Change> changes;
  std::map<std::string, Seen> now;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(home_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    const std::string rel = it->path().lexically_relative(home_).generic_string();
    const Seen seen{
        static_cast<std::uintmax_t>(st.st_size),
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
        static_cast<std::uintmax_t>(st.st_ino)};
    now[rel] = seen;
    const auto old = seen_.find(rel);
    if (old == seen_.end() || old->second.size != seen.size || old->second.mtime != seen.mtime ||
        old->second.inode != seen.inode) {
      changes.push_back({rel, false, seen.size});
    }
  }
  for (const auto& [path, seen] : seen_) {
    if (!now.contains(path)) changes.push_back({path, true, 0});
  }
  seen_ = std::move(now);
  return changes;
}

}  // namespace kestrine::sim
