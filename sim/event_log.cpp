#include "sim/event_log.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "platform/fake/calendar.h"
#include "sim/menu_actions.h"
#include "storage/utf8.h"

namespace kestrine::sim {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  std::string_view rest = text;
  // Check validity once; invalid text is passed byte by byte with replacements.
  const bool valid = isValidUtf8(text);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const auto c = static_cast<unsigned char>(rest[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else if (c >= 0x80 && !valid) {
          out += "\xEF\xBF\xBD";
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

void JsonObject::key(std::string_view k) {
  if (text_.size() > 1) text_ += ',';
  text_ += jsonString(k);
  text_ += ':';
}

JsonObject& JsonObject::add(std::string_view k, std::string_view value) {
  key(k);
  text_ += jsonString(value);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, std::int64_t value) {
  key(k);
  text_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool value) {
  key(k);
  text_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::addNumber(std::string_view k, double value, int decimals) {
  key(k);
  if (!std::isfinite(value)) {
    text_ += "null";
    return *this;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  text_ += buffer;
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, const std::vector<std::string>& values) {
  key(k);
  text_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text_ += ',';
    text_ += jsonString(values[i]);
  }
  text_ += ']';
  return *this;
}

JsonObject& JsonObject::addRaw(std::string_view k, std::string_view json) {
  key(k);
  text_ += json;
  return *this;
}

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
