#pragma once

// A throw-away folder for tests that work on real files and run real tools,
// and the few helpers they use to fill it and look into it.

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "storage/temporary_folder.h"

namespace kestrine::testing {

inline void writeText(const std::filesystem::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

inline std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The permission bits, or 0 when nothing is there.
inline unsigned modeOf(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

// A fresh folder under the system's temporary directory, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    // Without its own folder a test would work on files elsewhere: stop.
    if (folder_.path().empty()) std::abort();
  }

  const std::filesystem::path& path() const { return folder_.path(); }
  std::filesystem::path operator/(std::string_view name) const { return path() / name; }

  // Every entry of the folder, sorted, for checking that no stray file is left.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // A small executable tool: `body` after a /bin/sh line. Returns its path.
  std::string writeTool(std::string_view name, std::string_view body) const {
    const std::filesystem::path file = path() / name;
    writeText(file, "#!/bin/sh\n" + std::string(body) + "\n");
    std::filesystem::permissions(file, std::filesystem::perms(0755));
    return file.string();
  }

 private:
  TemporaryFolder folder_{"kestrine-test"};
};

}  // namespace kestrine::testing
