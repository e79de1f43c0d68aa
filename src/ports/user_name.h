#pragma once

#include <string>

namespace kestrine {

class UserName {
 public:
  virtual ~UserName() = default;
  // The short login name of the user running the application.
  virtual std::string shortName() const = 0;
};

}  // namespace kestrine
