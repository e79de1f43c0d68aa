#include "platform/fake/fixed_home_directory.h"

namespace kestrine::fake {

// Without a folder of its own the files fail to save and say so on the
// console, and nothing is removed afterwards.
FixedHomeDirectory::FixedHomeDirectory(std::optional<std::filesystem::path> existing)
    : path_(existing ? *existing : std::filesystem::path()) {
  if (existing) return;
  folder_.emplace("kestrine-home");
  path_ = folder_->path();
}

void FixedHomeDirectory::keep() {
  if (folder_) folder_->keep();
}

}  // namespace kestrine::fake
