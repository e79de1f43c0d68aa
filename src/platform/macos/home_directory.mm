#include "platform/macos/home_directory.h"

#import <Foundation/Foundation.h>

namespace kestrine {

std::filesystem::path MacHomeDirectory::path() const {
  return std::filesystem::path([NSHomeDirectory() fileSystemRepresentation]);
}

}  // namespace kestrine
