#include "platform/linux/passwd_entry.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/linux/home_directory.h"

namespace kestrine::linux_desktop {

std::optional<PasswdEntry> currentPasswdEntry() {
  std::vector<char> buffer(4096);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr) return std::nullopt;
    return PasswdEntry{found->pw_dir != nullptr ? found->pw_dir : ""};
  }
}

std::filesystem::path PasswdHomeDirectory::path() const {
  const auto entry = currentPasswdEntry();
  // Without an entry there is no home to keep files in; the root directory
  // makes every file operation fail and report, rather than write elsewhere.
  if (!entry || entry->home.empty()) return "/";
  return entry->home;
}

}  // namespace kestrine::linux_desktop
