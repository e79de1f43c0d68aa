#include "platform/macos/home_directory.h"

#import <Foundation/Foundation.h>

#include <array>
#include <climits>

namespace kestrine::macos {

// The buffer form reports a path it cannot convert by returning NO, where the
// fileSystemRepresentation property would raise an Objective-C exception
// through the core's constructor.
std::filesystem::path MacHomeDirectory::path() const {
  std::array<char, PATH_MAX> buffer{};
  if (![NSHomeDirectory() getFileSystemRepresentation:buffer.data() maxLength:buffer.size()]) {
    return {};
  }
  return std::filesystem::path(buffer.data());
}

}  // namespace kestrine::macos
