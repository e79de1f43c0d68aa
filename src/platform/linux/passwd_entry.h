#pragma once

#include <optional>
#include <string>

namespace kestrine::linux_desktop {

struct PasswdEntry {
  std::string home;
};

// The password database entry of the process's real user id.
std::optional<PasswdEntry> currentPasswdEntry();

}  // namespace kestrine::linux_desktop
