#pragma once

#include <filesystem>

#include "ports/home_directory.h"

namespace kestrine::macos {

// NSHomeDirectory(): the current user's home directory; empty in the unlikely
// case that it has no file-system form.
class MacHomeDirectory final : public HomeDirectory {
 public:
  std::filesystem::path path() const override;
};

}  // namespace kestrine::macos
