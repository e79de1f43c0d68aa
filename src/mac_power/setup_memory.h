#pragma once

#include <filesystem>

#include "ports/console.h"

namespace kestrine {

// What the Mac remembers about its one-time setup, in a file of its own beside
// the settings (".kestrine_setup.json"): the settings file keeps the five
// members every release reads. Members missing from the file are false and
// unknown ones are ignored, so older and newer releases read each other's file.
struct SetupMemory {
  // Kestrine added itself to the login items once; a user who removed it
  // there is not overruled.
  bool loginItemRegistered = false;
  // A password-free rule for pmset with any arguments outlived the narrowing,
  // and the user was told where it must be removed: Kestrine stops asking.
  bool broadRuleReported = false;

  bool operator==(const SetupMemory&) const = default;

  static std::filesystem::path path(const std::filesystem::path& home);
  // A missing or unreadable file remembers nothing.
  static SetupMemory load(const std::filesystem::path& home);
  // A failure prints "Failed to save setup memory: <description>".
  void save(const std::filesystem::path& home, Console& console) const;
};

}  // namespace kestrine
