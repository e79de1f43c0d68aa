#include "platform/macos/power_sources.h"

#include <CoreFoundation/CoreFoundation.h>
#import <Foundation/Foundation.h>
#include <IOKit/ps/IOPowerSources.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/macos/cf_owned.h"
#include "platform/macos/power_source_shape.h"

// Only fills the plain shape of power_source_shape.h from CoreFoundation
// values; what a description means is decided there and in the core.

namespace kestrine::macos {

namespace {

std::optional<std::string> readText(CFTypeRef value) {
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) return std::nullopt;
  const char* utf8 = [(__bridge NSString*)value UTF8String];
  if (utf8 == nullptr) return std::nullopt;
  return std::string(utf8);
}

macos::RawPowerSourceValue readValue(CFTypeRef value) {
  if (value == nullptr) return macos::OtherValue{};
  const CFTypeID type = CFGetTypeID(value);
  // Booleans first: they are not numbers, although Foundation bridges both to NSNumber.
  if (type == CFBooleanGetTypeID()) {
    return CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0;
  }
  if (type == CFNumberGetTypeID()) {
    const auto number = static_cast<CFNumberRef>(value);
    if (CFNumberIsFloatType(number)) {
      double fraction = 0;
      if (CFNumberGetValue(number, kCFNumberDoubleType, &fraction)) return fraction;
      return macos::OtherValue{};
    }
    std::int64_t whole = 0;
    if (CFNumberGetValue(number, kCFNumberSInt64Type, &whole)) return whole;
    return macos::OtherValue{};
  }
  if (type == CFStringGetTypeID()) {
    if (auto text = readText(value)) return *text;
  }
  return macos::OtherValue{};
}

// The description is owned by the snapshot ("Get" rule): it is not released here.
macos::RawPowerSourceDescription readDescription(CFTypeRef snapshot, CFTypeRef source) {
  CFDictionaryRef description = IOPSGetPowerSourceDescription(snapshot, source);
  if (description == nullptr || CFGetTypeID(description) != CFDictionaryGetTypeID()) {
    return std::nullopt;
  }
  const CFIndex count = CFDictionaryGetCount(description);
  std::vector<const void*> keys(static_cast<std::size_t>(count));
  std::vector<const void*> values(static_cast<std::size_t>(count));
  CFDictionaryGetKeysAndValues(description, keys.data(), values.data());
  std::vector<macos::RawPowerSourceEntry> entries;
  entries.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    entries.push_back({readText(keys[i]), readValue(values[i])});
  }
  return entries;
}

}  // namespace

std::optional<PowerSourceList> MacPowerSources::copySources() {
  const macos::CFOwned<CFTypeRef> snapshot(IOPSCopyPowerSourcesInfo());
  if (snapshot == nullptr) return std::nullopt;
  const macos::CFOwned<CFArrayRef> sources(IOPSCopyPowerSourcesList(snapshot.get()));
  if (sources == nullptr || CFGetTypeID(sources.get()) != CFArrayGetTypeID()) return std::nullopt;
  std::vector<macos::RawPowerSourceDescription> raw;
  const CFIndex count = CFArrayGetCount(sources.get());
  for (CFIndex i = 0; i < count; ++i) {
    raw.push_back(readDescription(snapshot.get(), CFArrayGetValueAtIndex(sources.get(), i)));
  }
  return macos::toPowerSourceList(raw);
}

}  // namespace kestrine::macos
