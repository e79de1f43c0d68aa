#include "settings/file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <system_error>

namespace kestrine {

namespace {

std::string describe(int error) { return std::generic_category().message(error); }

std::string describe(std::string_view what, const std::filesystem::path& path, int error) {
  std::string text(what);
  text += ' ';
  text += path.string();
  text += ": ";
  text += describe(error);
  return text;
}

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports the result: on some file systems a delayed write
  // error only shows up here.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// A name that no other writer picks: the target's own name, so leftovers are
// easy to recognise, then a random suffix.
std::filesystem::path temporarySibling(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}() ^
                                      (static_cast<std::uint64_t>(::getpid()) << 32)};
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix = ".tmp-";
  std::uint64_t bits = random() ^ counter.fetch_add(1, std::memory_order_relaxed);
  for (int i = 0; i < 8; ++i) {
    suffix += kAlphabet[bits % (sizeof kAlphabet - 1)];
    bits /= sizeof kAlphabet - 1;
  }
  std::filesystem::path name = target;
  name += suffix;
  return name;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Flushes the directory holding `path`, so that a rename into it survives a
// power cut: the file's own fsync covers its content, not the directory entry
// that names it.
//
// Nothing is reported: by the time this runs the rename has happened and the
// new content is what every reader sees. A failure here only means the disk
// may still hold the old entry for a moment; calling the save failed would be
// untrue, and a caller that retried or kept the old data would do worse than
// leaving the new file in place. Some file systems refuse fsync on a
// directory (EINVAL) although the rename is safe there anyway.
void syncParentDirectory(const std::filesystem::path& path) {
  std::filesystem::path directory = path.parent_path();
  if (directory.empty()) directory = ".";
  FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

FileReadResult readWholeFile(const std::filesystem::path& path) {
  // O_NONBLOCK keeps a FIFO from stalling the open; it changes nothing for a
  // regular file.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return {std::nullopt, describe("cannot open", path, errno)};
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return {std::nullopt, describe("cannot read", path, errno)};
  if (S_ISDIR(info.st_mode)) return {std::nullopt, describe("cannot read", path, EISDIR)};
  if (!S_ISREG(info.st_mode))
    return {std::nullopt, "cannot read " + path.string() + ": not a regular file"};

  // Read what fstat announced straight into place. The learning file is about
  // 8 MB: a buffer that had to grow would cost a second allocation of twice
  // that size and a full copy.
  const auto expected = static_cast<std::size_t>(info.st_size);
  std::string bytes;
  bytes.reserve(expected + kReadSlack);
  bytes.resize(expected);
  std::size_t filled = 0;
  while (filled < expected) {
    const ssize_t got = ::read(fd.get(), bytes.data() + filled, expected - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return {std::nullopt, describe("cannot read", path, errno)};
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  // The file may have grown since fstat (or reports no size at all, as files
  // under /proc do): read on until end of file.
  if (filled == expected) {
    char chunk[16384];
    for (;;) {
      const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
      if (got < 0) {
        if (errno == EINTR) continue;
        return {std::nullopt, describe("cannot read", path, errno)};
      }
      if (got == 0) break;
      bytes.append(chunk, static_cast<std::size_t>(got));
    }
  }
  if (bytes.capacity() - bytes.size() < kReadSlack) bytes.reserve(bytes.size() + kReadSlack);
  return {std::move(bytes), {}};
}

PathKind pathKind(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? PathKind::missing : PathKind::unknown;
  }
  return S_ISREG(info.st_mode) ? PathKind::regularFile : PathKind::other;
}

bool isLockedFile(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0;
}

std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           std::string_view bytes) {
  // A replaced file keeps its permissions; a new one gets the usual 0666 less
  // the umask, which open() applies for us.
  mode_t mode = 0666;
  bool keepMode = false;
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return describe("cannot write", path, EISDIR);
    if (S_ISREG(existing.st_mode)) {
      // Writing in place would fail on such a file for anyone but root; its
      // owner has locked it, so leave it as it is.
      if ((existing.st_mode & 0222) == 0) return describe("cannot write", path, EACCES);
      mode = existing.st_mode & 07777;
      keepMode = true;
    }
  }

  std::filesystem::path temporary;
  int rawFd = -1;
  for (int attempt = 0; attempt < 16 && rawFd < 0; ++attempt) {
    temporary = temporarySibling(path);
    rawFd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (rawFd < 0 && errno != EEXIST) break;
  }
  if (rawFd < 0) return describe("cannot create a temporary file for", path, errno);
  FileDescriptor fd(rawFd);

  auto fail = [&](int error) {
    fd.close();
    ::unlink(temporary.c_str());
    return describe("cannot write", path, error);
  };
  if (keepMode && ::fchmod(fd.get(), mode) != 0) return fail(errno);
  if (!writeAll(fd.get(), bytes)) return fail(errno);
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (fd.close() != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return describe("cannot write", path, error);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return describe("cannot replace", path, error);
  }
  syncParentDirectory(path);
  return std::nullopt;
}

std::optional<std::string> moveFile(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return std::nullopt;
  const int error = errno;
  if (error == ENOENT) return std::nullopt;
  return "cannot move " + from.string() + " to " + to.string() + ": " + describe(error);
}

bool removeFile(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace kestrine
