#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "storage/file_descriptor.h"

namespace kestrine {

// Spare capacity readWholeFile leaves after the content, so a parser that reads
// ahead in blocks can work on the buffer in place instead of copying it.
inline constexpr std::size_t kReadSlack = 64;

struct FileReadResult {
  std::optional<std::string> bytes;
  std::string error;      // readable description when bytes is absent
  bool tooLarge = false;  // refused for holding more than the limit
};

// Reads the whole file. Only regular files are read: a directory, a FIFO or a
// device fails with a description instead of blocking or reading forever.
// A file of more than `maxBytes` fails too, with its size in the description;
// no more memory than the limit is taken, whatever size the file claims (a
// sparse file can claim terabytes). On success the string has at least
// kReadSlack bytes of spare capacity.
FileReadResult readWholeFile(const std::filesystem::path& path,
                             std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// A regular file open for reading, of at most the bytes allowed when it was
// opened; the descriptor is invalid on failure.
struct OpenedFile {
  FileDescriptor fd;
  std::uintmax_t size = 0;  // as the file system tells
  std::string error;        // readable description when fd is invalid
  int errorNumber = 0;      // the system's reason, when it gave one (not for a FIFO, say)
  bool tooLarge = false;    // refused for holding more than the limit
};
OpenedFile openRegularFile(const std::filesystem::path& path, std::size_t maxBytes);
// Reads on from `fd`: up to `room` bytes at `into`; how many, 0 at the end of
// the file, -1 on failure.
std::ptrdiff_t readPiece(const FileDescriptor& fd, char* into, std::size_t room);

// What tells that a file's content changed: its size and last modification.
struct FileStamp {
  std::uintmax_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> stampOf(const FileDescriptor& fd);

enum class PathKind {
  missing,  // nothing there (also when a parent is missing or not a directory)
  regularFile,
  other,    // a directory, a device, ...
  unknown,  // cannot be told, e.g. no permission to look into the parent
};

// What is at `path`, following symbolic links.
PathKind pathKind(const std::filesystem::path& path);

// True for a regular file without any write permission bit: its owner has
// locked it, and writeFileSafely will not replace it. A symbolic link is not
// followed: it is never locked, whatever it points to.
bool isLockedFile(const std::filesystem::path& path);

// Writes `bytes` to a temporary file in the same directory, flushes it to disk,
// renames it over `path` and flushes the directory, so `path` always holds
// either the old or the new content in full, even after a power cut. Returns a
// readable error on failure, after removing the temporary file; the old file is
// then untouched. Once the rename has happened the save counts as done, even if
// the directory could not be flushed.
//
// Where the file system allows it the temporary file stays unnamed until just
// before the rename, so a kill leaves nothing behind; the first save of each
// path in a process also removes temporary files that earlier runs left. A
// file-size limit makes the save fail instead of ending the process. A
// symbolic link at `path` is replaced, never written through.
//
// A new file gets mode 0666 less the umask; a replaced file keeps its mode.
// A regular file without any write permission bit counts as locked by its owner
// and is never replaced (EACCES), whoever the caller is.
std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           std::string_view bytes);
// The same with the content in pieces, written one after another in one
// gathered write: a caller that keeps its text in parts need not join them.
std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           std::span<const std::string_view> pieces);

// What a safe save writes, handed to it piece by piece.
class SaveWriter {
 public:
  explicit SaveWriter(int fd) : fd_(fd) {}
  // Appends `bytes`.
  bool write(std::string_view bytes);
  // Appends the pieces one after another, in one gathered write.
  bool write(std::span<const std::string_view> pieces);
  // Appends `length` bytes of the file open as `source` from `offset` on,
  // written from its mapped pages: they are not copied into memory of ours.
  // False when they cannot all be read or written.
  bool copy(int source, std::uint64_t offset, std::uint64_t length);

 private:
  int fd_;
};

// The same save with the content written by `fill`, which returns false when
// it could not (errno tells why). When `written` is given, it receives a
// descriptor that reads the new file, for the next save to copy from.
std::optional<std::string> writeFileSafely(const std::filesystem::path& path,
                                           const std::function<bool(SaveWriter&)>& fill,
                                           FileDescriptor* written = nullptr);

// Keeps a file that could not be read for inspection before anything replaces
// it: renames `path` to `keptPath` (replacing a file of that name), or, when it
// cannot be renamed, copies up to `maxBytes` of it there. Only a regular file
// goes: a link, a folder or a special file is left in place, and so is a file
// its owner has locked (writeFileSafely will not replace it either). Returns
// where the content is now (`path` when it stayed), or a readable error when a
// file that should have gone could be neither renamed nor copied.
struct KeptFile {
  std::filesystem::path location;
  std::optional<std::string> error;
};
KeptFile keepUnreadableFile(const std::filesystem::path& path,
                            const std::filesystem::path& keptPath, std::size_t maxBytes);

}  // namespace kestrine
