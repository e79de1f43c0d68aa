#pragma once

#include <filesystem>

namespace kestrine {

enum class InstanceLock {
  acquired,       // this process is the only instance
  heldElsewhere,  // another process holds the lock
  refused,        // something other than a regular file of this user is there
  unavailable,    // no lock file can be created (e.g. a read-only home): run anyway
};

// Takes an exclusive flock on `path`, creating the file if needed, and keeps
// it for the rest of the process's life; the system releases it when the
// process ends, however it ends. Started programs do not inherit it. A link is
// never followed, and only a regular file owned by this user is locked:
// anything else could be held or swapped by someone else.
InstanceLock lockInstance(const std::filesystem::path& path);

// For the desktop mains, first thing: takes the lock "<home>/.kestrine.lock",
// beside the files it protects, so that every start on the same files meets
// there whatever its environment says. When another instance holds it, prints
// "Kestrine is already running" on standard error; when the lock file is not
// one it may trust, says so.
InstanceLock claimSingleInstance(const std::filesystem::path& home);

// Whether a start may go on after `claimSingleInstance`: it holds the lock,
// or no lock can be had at all (a read-only home), which must not stop it.
inline bool mayStart(InstanceLock lock) {
  return lock == InstanceLock::acquired || lock == InstanceLock::unavailable;
}

}  // namespace kestrine
