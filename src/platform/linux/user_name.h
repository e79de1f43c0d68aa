#pragma once

#include "ports/user_name.h"

namespace kestrine::linux_desktop {

// The login name from the password database entry of the real user id.
class PasswdUserName final : public UserName {
 public:
  std::string shortName() const override;
};

}  // namespace kestrine::linux_desktop
