#include "mac_power/setup_memory.h"

#include <simdjson.h>

#include <string>
#include <string_view>

#include "storage/file_store.h"
#include "storage/json_writing.h"

namespace kestrine {

namespace {

constexpr std::string_view kFileName = ".kestrine_setup.json";
constexpr std::size_t kMaxFileBytes = 64 * 1024;

// A member that is there and is JSON true.
bool isTrue(const simdjson::dom::object& object, std::string_view name) {
  bool value = false;
  return !object[name].get_bool().get(value) && value;
}

}  // namespace

std::filesystem::path SetupMemory::path(const std::filesystem::path& home) {
  return home / kFileName;
}

SetupMemory SetupMemory::load(const std::filesystem::path& home) {
  const FileReadResult read = readWholeFile(path(home), kMaxFileBytes);
  if (!read.bytes) return {};
  simdjson::dom::parser parser;
  simdjson::dom::object object;
  if (parser.parse(read.bytes->data(), read.bytes->size()).get_object().get(object)) return {};
  return {.loginItemRegistered = isTrue(object, "loginItemRegistered"),
          .broadRuleReported = isTrue(object, "broadRuleReported")};
}

void SetupMemory::save(const std::filesystem::path& home, Console& console) const {
  const std::string text = JsonObject()
                               .add("loginItemRegistered", loginItemRegistered)
                               .add("broadRuleReported", broadRuleReported)
                               .str();
  if (auto error = writeFileSafely(path(home), text)) {
    console.printLine("Failed to save setup memory: " + *error);
  }
}

}  // namespace kestrine
