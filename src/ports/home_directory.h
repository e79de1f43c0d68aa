#pragma once

#include <filesystem>

namespace kestrine {

class HomeDirectory {
 public:
  virtual ~HomeDirectory() = default;
  // The current user's home directory, as an absolute path.
  virtual std::filesystem::path path() const = 0;
};

}  // namespace kestrine
