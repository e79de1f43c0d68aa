#pragma once

#include "ports/home_directory.h"

namespace kestrine::linux_desktop {

// The home directory from the password database entry of the real user id.
class PasswdHomeDirectory final : public HomeDirectory {
 public:
  std::filesystem::path path() const override;
};

}  // namespace kestrine::linux_desktop
