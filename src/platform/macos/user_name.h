#pragma once

#include <string>

#include "ports/user_name.h"

namespace kestrine::macos {

// NSUserName(): the current user's short login name.
class MacUserName final : public UserName {
 public:
  std::string shortName() const override;
};

}  // namespace kestrine::macos
