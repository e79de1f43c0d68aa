#pragma once

#include <string>

#include "ports/user_name.h"

namespace kestrine::fake {

class FixedUserName final : public UserName {
 public:
  explicit FixedUserName(std::string name = "alice") : name_(std::move(name)) {}
  std::string shortName() const override { return name_; }

 private:
  std::string name_;
};

}  // namespace kestrine::fake
