#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <type_traits>

namespace kestrine::macos {

struct CFReleaser {
  void operator()(CFTypeRef object) const { CFRelease(object); }
};

// Owns one reference obtained under the "Create" or "Copy" rule and releases
// it once; a null reference owns nothing.
template <class Ref>
using CFOwned = std::unique_ptr<std::remove_pointer_t<Ref>, CFReleaser>;

}  // namespace kestrine::macos
