#include "platform/sim/fixed_home_directory.h"

#include <stdlib.h>

#include <string>
#include <system_error>

namespace kestrine::sim {

namespace {

// An empty path when no folder could be made: the files then fail to save and
// say so on the console, and nothing is removed afterwards.
std::filesystem::path makeTemporaryFolder() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "kestrine-home-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace

FixedHomeDirectory::FixedHomeDirectory(std::optional<std::filesystem::path> existing)
    : path_(existing ? *existing : makeTemporaryFolder()), owned_(!existing && !path_.empty()) {}

FixedHomeDirectory::~FixedHomeDirectory() {
  if (!owned_) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace kestrine::sim
