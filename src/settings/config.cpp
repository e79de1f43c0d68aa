#include "settings/config.h"

#include "storage/file_store.h"
#include "storage/json_reading.h"
#include "storage/json_writing.h"

namespace kestrine {

namespace {

constexpr std::string_view kFileName = ".kestrine_config.json";
constexpr std::string_view kLoadFailed = "Failed to load config: ";
constexpr std::string_view kSaveFailed = "Failed to save config: ";

}  // namespace

std::filesystem::path Config::configPath(const std::filesystem::path& home) {
  return home / kFileName;
}

std::filesystem::path Config::corruptCopyPath(const std::filesystem::path& home) {
  std::filesystem::path path = configPath(home);
  path += ".corrupt";
  return path;
}

std::string encodeConfig(const Config& config) {
  return JsonObject()
      .add("threshold", config.threshold)
      .add("notifications", config.notifications)
      .add("setupComplete", config.setupComplete)
      .add("useSmartMode", config.useSmartMode)
      .add("smartModeTargetMinutes", config.smartModeTargetMinutes)
      .str();
}

ConfigDecodeResult decodeConfig(std::string_view text) {
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (const auto error = parser.parse(text.data(), text.size()).get(root)) {
    return {std::nullopt, json::notJson(error)};
  }
  simdjson::dom::object object;
  if (root.get_object().get(object)) return {std::nullopt, "the top level is not an object"};

  Config config;
  std::string error;
  if (!json::readMembers(
          object, error, json::wholeNumber("threshold", config.threshold),
          json::flag("notifications", config.notifications),
          json::flag("setupComplete", config.setupComplete),
          json::flag("useSmartMode", config.useSmartMode),
          json::wholeNumber("smartModeTargetMinutes", config.smartModeTargetMinutes))) {
    return {std::nullopt, error};
  }
  return {config, {}};
}

ConfigLoadResult Config::load(const std::filesystem::path& home, Console& console) {
  using Outcome = ConfigLoadResult::Outcome;
  const std::filesystem::path path = configPath(home);
  // No settings file yet is the normal first start: the defaults stay.
  if (pathKind(path) == PathKind::missing) return {Outcome::noFile, {}};

  FileReadResult read = readWholeFile(path, kMaxFileBytes);
  std::string error = read.error;
  if (read.bytes) {
    ConfigDecodeResult decoded = decodeConfig(*read.bytes);
    if (decoded.config) {
      *this = *decoded.config;
      return {Outcome::loaded, {}};
    }
    error = path.string() + ": " + decoded.error;
  }
  console.printLine(std::string(kLoadFailed) + error);
  // The user's own settings are kept where no save of the defaults can reach
  // them.
  KeptFile kept = keepUnreadableFile(path, corruptCopyPath(home), kMaxFileBytes);
  if (kept.error) console.printLine(std::string(kLoadFailed) + *kept.error);
  return {Outcome::unreadable, kept.location};
}

std::optional<std::string> Config::save(const std::filesystem::path& home) const {
  if (auto error = writeFileSafely(configPath(home), encodeConfig(*this))) {
    return std::string(kSaveFailed) + *error;
  }
  return std::nullopt;
}

}  // namespace kestrine
