#include "storage/file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <vector>

#include "storage/file_descriptor.h"

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

// A name that no other writer picks: the target's own name, so leftovers are
// easy to recognise, then a random suffix.
constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr std::size_t kTemporarySuffixLength = 8;
constexpr std::string_view kTemporaryAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";

std::filesystem::path temporarySibling(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}() ^
                                      (static_cast<std::uint64_t>(::getpid()) << 32)};
  std::string suffix(kTemporaryInfix);
  std::uint64_t bits = random() ^ counter.fetch_add(1, std::memory_order_relaxed);
  for (std::size_t i = 0; i < kTemporarySuffixLength; ++i) {
    suffix += kTemporaryAlphabet[bits % kTemporaryAlphabet.size()];
    bits /= kTemporaryAlphabet.size();
  }
  std::filesystem::path name = target;
  name += suffix;
  return name;
}

// The folder holding `path`; "." for a bare name.
std::filesystem::path folderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  return folder.empty() ? "." : folder;
}

// Tries fresh temporary names beside `target` until `create` makes one, or
// fails for a reason other than the name being taken (errno tells).
template <typename Create>
bool createUnderTemporaryName(const std::filesystem::path& target, std::filesystem::path& name,
                              Create create) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = temporarySibling(target);
    if (create(name)) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

bool writeAll(int fd, std::span<const std::string_view> pieces) {
  std::vector<iovec> parts;
  for (const std::string_view piece : pieces) {
    if (!piece.empty()) parts.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  std::size_t next = 0;
  while (next < parts.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(parts.size() - next, IOV_MAX));
    const ssize_t written = ::writev(fd, &parts[next], count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // A short write: skip what went out, then go on with the rest.
    auto done = static_cast<std::size_t>(written);
    while (next < parts.size() && done >= parts[next].iov_len) done -= parts[next++].iov_len;
    if (next < parts.size()) {
      parts[next].iov_base = static_cast<char*>(parts[next].iov_base) + done;
      parts[next].iov_len -= done;
    }
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
// The modification time to the nanosecond: `st_mtim` in POSIX, which the
// Mac calls `st_mtimespec`; the first where both are there.
template <class Stat>
auto modificationTime(const Stat& info, int) -> decltype(info.st_mtim) {
  return info.st_mtim;
}
template <class Stat>
auto modificationTime(const Stat& info, long) -> decltype(info.st_mtimespec) {
  return info.st_mtimespec;
}

std::string tooLargeText(const std::filesystem::path& path, std::uintmax_t size, bool atLeast,
                         std::size_t maxBytes) {
  return "cannot read " + path.string() + ": " + (atLeast ? "at least " : "") +
         std::to_string(size) + " bytes, more than the " + std::to_string(maxBytes) + " allowed";
}

void syncParentDirectory(const std::filesystem::path& path) {
  FileDescriptor fd(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

OpenedFile openRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
  OpenedFile opened;
  // O_NONBLOCK keeps a FIFO from stalling the open; it changes nothing for a
  // regular file.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!fd.valid()) {
    opened.errorNumber = errno;
    opened.error = describe("cannot open", path, opened.errorNumber);
  } else if (::fstat(fd.get(), &info) != 0) {
    opened.errorNumber = errno;
    opened.error = describe("cannot read", path, opened.errorNumber);
  } else if (S_ISDIR(info.st_mode)) {
    opened.errorNumber = EISDIR;
    opened.error = describe("cannot read", path, EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    opened.error = "cannot read " + path.string() + ": not a regular file";
  } else if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
    opened.error = tooLargeText(path, static_cast<std::uintmax_t>(info.st_size), false, maxBytes);
    opened.tooLarge = true;
  } else {
    opened.fd = std::move(fd);
    opened.size = static_cast<std::uintmax_t>(info.st_size);
  }
  return opened;
}

std::ptrdiff_t readPiece(const FileDescriptor& fd, char* into, std::size_t room) {
  while (true) {
    const ssize_t got = ::read(fd.get(), into, room);
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::optional<FileStamp> stampOf(const FileDescriptor& fd) {
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return std::nullopt;
  const timespec modified = modificationTime(info, 0);
  return FileStamp{static_cast<std::uintmax_t>(info.st_size),
                   std::int64_t{modified.tv_sec} * 1'000'000'000 + modified.tv_nsec};
}

FileReadResult readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
  OpenedFile opened = openRegularFile(path, maxBytes);
  if (!opened.fd.valid()) return {std::nullopt, std::move(opened.error), opened.tooLarge};
  const FileDescriptor& fd = opened.fd;
  auto tooLarge = [&](std::uintmax_t size, bool atLeast) {
    return FileReadResult{std::nullopt, tooLargeText(path, size, atLeast, maxBytes), true};
  };

  // Read what fstat announced straight into place. The learning file is about
  // 8 MB: a buffer that had to grow would cost a second allocation of twice
  // that size and a full copy. Without a limit only a modest size is taken on
  // trust; a larger file grows the buffer as it is actually read.
  constexpr std::size_t kTrustedSize = std::size_t{64} << 20;
  const auto expected = std::min({static_cast<std::size_t>(opened.size), maxBytes, kTrustedSize});
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
  // under /proc do): read on until end of file or past the limit.
  if (filled == expected) {
    char chunk[16384];
    for (;;) {
      const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
      if (got < 0) {
        if (errno == EINTR) continue;
        return {std::nullopt, describe("cannot read", path, errno)};
      }
      if (got == 0) break;
      if (static_cast<std::size_t>(got) > maxBytes - bytes.size())
        return tooLarge(bytes.size() + static_cast<std::size_t>(got), true);
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
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0;
}

namespace {

// True when `name` is one of the temporary files writeFileSafely names after
// the file `target` (both plain file names): `target` + ".tmp-" + 8 letters or
// digits.
bool isTemporaryName(std::string_view target, std::string_view name) {
  if (name.size() != target.size() + kTemporaryInfix.size() + kTemporarySuffixLength ||
      !name.starts_with(target) ||
      name.substr(target.size(), kTemporaryInfix.size()) != kTemporaryInfix)
    return false;
  const std::string_view suffix = name.substr(target.size() + kTemporaryInfix.size());
  return suffix.find_first_not_of(kTemporaryAlphabet) == std::string_view::npos;
}

// Removes what earlier runs left of their saves of `path`: a kill between
// naming the temporary file and the rename leaves one behind, up to the size
// of the file. Only our own regular files with exactly our pattern go; a
// link, a folder or another user's file of that name stays.
void removeStaleTemporaries(const std::filesystem::path& path) {
  const std::string target = path.filename().string();
  DIR* listing = ::opendir(folderOf(path).c_str());
  if (listing == nullptr) return;
  const uid_t self = ::geteuid();
  while (const dirent* entry = ::readdir(listing)) {
    if (!isTemporaryName(target, entry->d_name)) continue;
    struct stat info {};
    if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == self)
      ::unlinkat(::dirfd(listing), entry->d_name, 0);
  }
  ::closedir(listing);
}

// Once per target and process, before its first save: with a single instance
// running, no temporary file of that name can belong to a save in progress.
void removeStaleTemporariesOnce(const std::filesystem::path& path) {
  static std::mutex mutex;
  static std::set<std::string> done;
  std::lock_guard lock(mutex);
  if (done.insert(path.string()).second) removeStaleTemporaries(path);
}

// A file-size limit would otherwise end the whole process with SIGXFSZ in the
// middle of a save; ignored, the write fails with EFBIG and the save reports
// it like any other failure. Child processes start with default signals.
void ignoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

// An unnamed file in the folder of `path`, where the file system offers them:
// a kill before it is linked leaves nothing behind.
int openUnnamedFile([[maybe_unused]] const std::filesystem::path& path) {
#ifdef O_TMPFILE
  return ::open(folderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
#else
  return -1;
#endif
}

// Gives the unnamed file behind `fd` the name `name`.
bool linkUnnamedFile(int fd, const std::filesystem::path& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           std::string_view bytes) {
  return writeFileSafely(path, std::span<const std::string_view>(&bytes, 1));
}

std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           std::span<const std::string_view> pieces) {
  return writeFileSafely(path, [pieces](SaveWriter& out) { return out.write(pieces); });
}

bool SaveWriter::write(std::string_view bytes) {
  return writeAll(fd_, std::span<const std::string_view>(&bytes, 1));
}

bool SaveWriter::write(std::span<const std::string_view> pieces) { return writeAll(fd_, pieces); }

bool SaveWriter::copy(int source, std::uint64_t offset, std::uint64_t length) {
  // Written straight from the source's pages, mapped a window at a time: one
  // copy, as for text in memory, and no more than a window resident during
  // the save. copy_file_range keeps the bytes in the kernel too, but on ext4
  // it splices page by page and took twice the CPU of this; without
  // MAP_POPULATE each page would fault on its own, three times the CPU.
  constexpr std::uint64_t kWindow = std::uint64_t{4} << 20;
#ifdef MAP_POPULATE
  constexpr int kMapFlags = MAP_SHARED | MAP_POPULATE;  // one fault for the window
#else
  constexpr int kMapFlags = MAP_SHARED;
#endif
  while (length > 0) {
    const std::uint64_t start = offset - offset % kWindow;
    const std::uint64_t skip = offset - start;
    const std::uint64_t count = std::min(length, kWindow - skip);
    void* map = ::mmap(nullptr, static_cast<std::size_t>(skip + count), PROT_READ, kMapFlags,
                       source, static_cast<off_t>(start));
    if (map == MAP_FAILED) break;  // not on this file system: read it by hand
    const bool written =
        write({static_cast<const char*>(map) + skip, static_cast<std::size_t>(count)});
    ::munmap(map, static_cast<std::size_t>(skip + count));
    if (!written) return false;
    offset += count;
    length -= count;
  }
  char chunk[1 << 16];
  while (length > 0) {
    const ssize_t got = ::pread(source, chunk, std::min<std::uint64_t>(length, sizeof chunk),
                                static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;  // the file is shorter than it was
      return false;
    }
    if (!write({chunk, static_cast<std::size_t>(got)})) return false;
    offset += static_cast<std::uint64_t>(got);
    length -= static_cast<std::uint64_t>(got);
  }
  return true;
}

std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           const std::function<bool(SaveWriter&)>& fill,
                                           FileDescriptor* written) {
  ignoreFileSizeSignal();
  removeStaleTemporariesOnce(path);

  // A replaced file keeps its permissions; a new one gets the usual 0666 less
  // the umask, which open() applies for us. A symbolic link is never followed:
  // the rename replaces the link itself with a regular file.
  mode_t mode = 0666;
  bool keepMode = false;
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0) {
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
  bool named = false;  // whether `temporary` exists on disk and must go on failure
  FileDescriptor fd(openUnnamedFile(path));
  if (!fd.valid()) {
    const bool created = createUnderTemporaryName(path, temporary, [&](const auto& name) {
      fd.reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      return fd.valid();
    });
    if (!created) return describe("cannot create a temporary file for", path, errno);
    named = true;
  }

  auto fail = [&](int error, std::string_view what = "cannot write") {
    fd.close();
    if (named) ::unlink(temporary.c_str());
    return describe(what, path, error);
  };
  if (keepMode && ::fchmod(fd.get(), mode) != 0) return fail(errno);
  SaveWriter writer(fd.get());
  errno = 0;
  if (!fill(writer)) return fail(errno != 0 ? errno : EIO);
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (!named) {
    // Named only now, just before the rename.
    named = createUnderTemporaryName(
        path, temporary, [&](const auto& name) { return linkUnnamedFile(fd.get(), name); });
    if (!named) return fail(errno, "cannot create a temporary file for");
  }
  // Read through a descriptor of its own, which stays with this content
  // whatever later happens at `path`.
  FileDescriptor reader(written != nullptr ? ::dup(fd.get()) : -1);
  if (fd.close() != 0) return fail(errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(errno, "cannot replace");
  syncParentDirectory(path);
  if (written != nullptr) *written = std::move(reader);
  return std::nullopt;
}

namespace {

// Renames `from` to `to`, replacing whatever file `to` names. A missing `from`
// counts as success. Returns a readable error on failure.
std::optional<std::string> moveFile(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return std::nullopt;
  const int error = errno;
  if (error == ENOENT) return std::nullopt;
  return "cannot move " + from.string() + " to " + to.string() + ": " + describe(error);
}

}  // namespace

KeptFile keepUnreadableFile(const std::filesystem::path& path,
                            const std::filesystem::path& keptPath, std::size_t maxBytes) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || isLockedFile(path))
    return {path, std::nullopt};
  auto moved = moveFile(path, keptPath);
  if (!moved) return {keptPath, std::nullopt};
  // Renaming can fail where writing works, e.g. on a file that may not be
  // moved or unlinked: keep a copy instead.
  const FileReadResult read = readWholeFile(path, maxBytes);
  if (read.bytes && !writeFileSafely(keptPath, *read.bytes)) return {keptPath, std::nullopt};
  return {path, std::move(moved)};
}

}  // namespace kestrine
