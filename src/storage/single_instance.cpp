#include "storage/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "storage/file_descriptor.h"

namespace kestrine {

std::optional<std::filesystem::path> instanceLockPath(const char* runtimeDirectory,
                                                      const char* home) {
  // Only absolute folders: a relative one would put the lock wherever the
  // program happened to start, and two starts would not meet.
  for (const char* folder : {runtimeDirectory, home}) {
    if (folder != nullptr && folder[0] == '/') {
      return std::filesystem::path(folder) /
             (folder == runtimeDirectory ? "kestrine.lock" : ".kestrine.lock");
    }
  }
  return std::nullopt;
}

InstanceLock lockInstance(const std::filesystem::path& path) {
  // Held until the process ends.
  static FileDescriptor held;
  FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) return InstanceLock::unavailable;
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? InstanceLock::heldElsewhere : InstanceLock::unavailable;
  }
  held.reset(fd.release());
  return InstanceLock::acquired;
}

bool claimSingleInstance() {
  const auto path = instanceLockPath(std::getenv("XDG_RUNTIME_DIR"), std::getenv("HOME"));
  if (!path || lockInstance(*path) != InstanceLock::heldElsewhere) return true;
  std::fputs("Kestrine is already running\n", stderr);
  return false;
}

}  // namespace kestrine
