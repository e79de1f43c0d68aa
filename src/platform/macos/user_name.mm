#include "platform/macos/user_name.h"

#import <Foundation/Foundation.h>

namespace kestrine::macos {

std::string MacUserName::shortName() const {
  const char* name = [NSUserName() UTF8String];
  return name != nullptr ? std::string(name) : std::string();
}

}  // namespace kestrine::macos
