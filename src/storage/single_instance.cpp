#include "storage/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "storage/file_descriptor.h"

namespace kestrine {

InstanceLock lockInstance(const std::filesystem::path& path) {
  // Held until the process ends.
  static FileDescriptor held;
  // Read-only is enough for flock and also works in a read-only home;
  // O_NONBLOCK keeps a FIFO planted there from stalling the open.
  FileDescriptor fd(
      ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  struct stat info {};
  if (!fd.valid()) {
    // Nothing there and nothing can be created: there are no files to share
    // either. Something there that cannot be opened is not ours.
    return ::lstat(path.c_str(), &info) != 0 ? InstanceLock::unavailable : InstanceLock::refused;
  }
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
    return InstanceLock::refused;
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? InstanceLock::heldElsewhere : InstanceLock::unavailable;
  }
  held.reset(fd.release());
  return InstanceLock::acquired;
}

InstanceLock claimSingleInstance(const std::filesystem::path& home) {
  const std::filesystem::path path = home / ".kestrine.lock";
  const InstanceLock lock = lockInstance(path);
  switch (lock) {
    case InstanceLock::heldElsewhere:
      std::fputs("Kestrine is already running\n", stderr);
      break;
    case InstanceLock::refused:
      std::fputs(("Kestrine is not starting: " + path.string() +
                  " is not a regular file of this user, so another copy could be running on "
                  "the same files\n")
                     .c_str(),
                 stderr);
      break;
    case InstanceLock::acquired:
    case InstanceLock::unavailable:
      break;
  }
  return lock;
}

}  // namespace kestrine
