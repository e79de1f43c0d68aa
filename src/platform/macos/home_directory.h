#pragma once

#include <filesystem>

#include "ports/home_directory.h"

namespace kestrine {

// NSHomeDirectory(): the current user's home directory.
class MacHomeDirectory final : public HomeDirectory {
 public:
  std::filesystem::path path() const override;
};

}  // namespace kestrine
