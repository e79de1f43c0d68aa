#pragma once

#include <filesystem>
#include <string_view>

namespace kestrine {

// A new, empty folder named `prefix` + "-XXXXXX" under `base` (the system's
// temporary directory when empty), removed with all its contents when this
// object goes, also when its permissions were taken away meanwhile.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(std::string_view prefix, std::filesystem::path base = {});
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // Empty when no folder could be made.
  const std::filesystem::path& path() const { return path_; }
  // Leave the folder in place, e.g. to look at the files afterwards.
  void keep() { kept_ = true; }

 private:
  std::filesystem::path path_;
  bool kept_ = false;
};

}  // namespace kestrine
