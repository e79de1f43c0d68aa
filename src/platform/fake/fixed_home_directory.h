#pragma once

#include <filesystem>
#include <optional>

#include "ports/home_directory.h"
#include "storage/temporary_folder.h"

namespace kestrine::fake {

// The virtual user's home: a real folder, so the settings and learning files
// are written and read for real.
class FixedHomeDirectory final : public HomeDirectory {
 public:
  // Without a path: a new, empty temporary folder, removed with its contents
  // when this object goes. With one: that folder, used as it is and left in place.
  explicit FixedHomeDirectory(std::optional<std::filesystem::path> existing = std::nullopt);
  FixedHomeDirectory(const FixedHomeDirectory&) = delete;
  FixedHomeDirectory& operator=(const FixedHomeDirectory&) = delete;

  std::filesystem::path path() const override { return path_; }
  // Leave a temporary folder in place, e.g. to look at the files afterwards.
  void keep();

 private:
  std::filesystem::path path_;
  std::optional<TemporaryFolder> folder_;
};

}  // namespace kestrine::fake
