#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ports/console.h"

namespace kestrine {

// What Config::load found.
struct ConfigLoadResult {
  enum class Outcome {
    loaded,      // the file's values replaced the record
    noFile,      // nothing there: the first start
    unreadable,  // something there could not be read or decoded
  };
  Outcome outcome = Outcome::noFile;
  // When unreadable: where the old file is now (".corrupt" when it was set
  // aside, its own place when it stayed).
  std::filesystem::path keptAt;
};

// The user's settings, kept as ".kestrine_config.json" in the home directory.
// Config{.threshold = 30, .useSmartMode = true}: the rest keep their defaults.
struct Config {
  std::int64_t threshold = 20;
  bool notifications = true;
  bool setupComplete = false;
  bool useSmartMode = false;
  std::int64_t smartModeTargetMinutes = 60;

  bool operator==(const Config&) const = default;

  // A settings file is a few hundred bytes; anything larger is not one.
  static constexpr std::size_t kMaxFileBytes = 64 * 1024;

  // <home>/.kestrine_config.json
  static std::filesystem::path configPath(const std::filesystem::path& home);
  // <home>/.kestrine_config.json.corrupt, where an unreadable file is kept.
  static std::filesystem::path corruptCopyPath(const std::filesystem::path& home);

  // Replaces all five fields with the file's values. A missing file is silent;
  // any other failure prints "Failed to load config: <description>", leaves
  // the record unchanged and sets the file aside as ".corrupt" (see
  // keepUnreadableFile), so that no later save overwrites it.
  ConfigLoadResult load(const std::filesystem::path& home, Console& console);
  // Writes the record safely (temporary file, flush, rename). A failure leaves
  // the old file intact and returns the line for the caller to print,
  // "Failed to save config: <description>".
  std::optional<std::string> save(const std::filesystem::path& home) const;
};

// The compact JSON text of the record.
std::string encodeConfig(const Config& config);

struct ConfigDecodeResult {
  std::optional<Config> config;
  std::string error;  // a readable description when config is absent
};
// Strict reading: all five members, with their own JSON types.
ConfigDecodeResult decodeConfig(std::string_view json);

}  // namespace kestrine
