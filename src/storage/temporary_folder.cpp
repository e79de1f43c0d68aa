#include "storage/temporary_folder.h"

#include <stdlib.h>

#include <string>
#include <system_error>

namespace kestrine {

TemporaryFolder::TemporaryFolder(std::string_view prefix, std::filesystem::path base) {
  std::error_code error;
  if (base.empty()) base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / prefix).string() + "-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  if (path_.empty() || kept_) return;
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace kestrine
