#pragma once

#include <filesystem>
#include <optional>

namespace kestrine {

// Where the lock of the running instance lives: the user's runtime folder
// when there is one (emptied at logout), else the home folder. Absent when
// neither is known. Takes the two environment values as they are.
std::optional<std::filesystem::path> instanceLockPath(const char* runtimeDirectory,
                                                      const char* home);

enum class InstanceLock {
  acquired,       // this process is the only instance
  heldElsewhere,  // another process holds the lock
  unavailable,    // the lock file cannot be opened or locked: run anyway
};

// Takes an exclusive flock on `path`, creating the file if needed, and keeps
// it for the rest of the process's life; the system releases it when the
// process ends, however it ends. Started programs do not inherit it.
InstanceLock lockInstance(const std::filesystem::path& path);

// For the desktop mains, first thing: takes the lock at the usual place and
// returns false when another instance holds it, after printing "Kestrine is
// already running" on standard error. Anything else lets the start go on.
bool claimSingleInstance();

}  // namespace kestrine
