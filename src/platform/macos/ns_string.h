#pragma once

#import <Foundation/Foundation.h>

#include <string>

namespace kestrine::macos {

// The core's UTF-8 text as an NSString; empty where the bytes are not UTF-8,
// so a bad text never reaches AppKit as nil.
inline NSString* toNSString(const std::string& text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  return string != nil ? string : @"";
}

}  // namespace kestrine::macos
