#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrine {

struct FileReadResult {
  std::optional<std::string> bytes;
  std::string error;  // readable description when bytes is absent
};

// Reads the whole file.
FileReadResult readWholeFile(const std::filesystem::path& path);

// Writes `bytes` to a temporary file in the same directory, flushes it to disk
// and renames it over `path`, so `path` always holds either the old or the new
// content in full. Returns a readable error on failure, after removing the
// temporary file; the old file is then untouched.
std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           std::string_view bytes);

}  // namespace kestrine
