#include "prediction/learning_file.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kestrine {

namespace {

// Gives the memory freed after a load back to the system: the allocator
// keeps it otherwise, and a month's load would stay in the resident size.
void returnFreedMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

// Writes into a safe save, copying from the file saved before.
class SaveSink final : public PredictionSink {
 public:
  SaveSink(SaveWriter& out, const FileDescriptor& previous) : out_(out), previous_(previous) {}
  bool write(std::string_view text) override { return note(out_.write(text)); }
  bool copyPrevious(std::size_t offset, std::size_t length) override {
    return note(previous_.valid() && out_.copy(previous_.get(), offset, length));
  }
  // Whether writing failed, rather than the record being one that cannot be
  // written.
  bool failed() const { return failed_; }

 private:
  bool note(bool written) {
    failed_ = failed_ || !written;
    return written;
  }

  SaveWriter& out_;
  const FileDescriptor& previous_;
  bool failed_ = false;
};

constexpr std::string_view kFileName = ".kestrine_ai_data.json";
constexpr std::string_view kCorruptSuffix = ".corrupt";
constexpr std::string_view kLoadFailed = "Failed to load prediction data: ";
constexpr std::string_view kUnencodable = "the learning data holds a number JSON cannot express";

}  // namespace

LearningFile::LearningFile(const std::filesystem::path& home, Console& console)
    : path_(path(home)), corruptCopyPath_(corruptCopyPath(home)), console_(console) {}

std::filesystem::path LearningFile::path(const std::filesystem::path& home) {
  return home / kFileName;
}

std::filesystem::path LearningFile::corruptCopyPath(const std::filesystem::path& home) {
  std::filesystem::path copy = path(home);
  copy += kCorruptSuffix;
  return copy;
}

std::optional<PredictionData> LearningFile::load() {
  if (pathKind(path_) == PathKind::missing) return std::nullopt;
  OpenedFile file = openRegularFile(path_, kMaxFileBytes);
  bool tooLarge = file.tooLarge;
  std::string error = file.error;
  if (file.fd.valid()) {
    // Read in pieces: the text is never held whole.
    std::size_t total = 0;
    PredictionDecodeResult decoded = decodePredictionData(
        [&](char* into, std::size_t room) -> std::ptrdiff_t {
          const std::ptrdiff_t got = readPiece(file.fd, into, room);
          if (got > 0 && (total += static_cast<std::size_t>(got)) > kMaxFileBytes) {
            tooLarge = true;  // it grew since it was opened
            error = "cannot read " + path_.string() + ": at least " + std::to_string(total) +
                    " bytes, more than the " + std::to_string(kMaxFileBytes) + " allowed";
            return -1;
          }
          return got;
        },
        static_cast<std::size_t>(file.size));
    returnFreedMemory();
    if (decoded.data) return std::move(decoded.data);
  }
  if (tooLarge) console_.printLine(std::string(kLoadFailed) + error);
  // Start afresh, without a word unless the file was too large, but keep the
  // old content for whoever wants to look at it: the first save moves it
  // aside instead of overwriting it.
  moveAsideBeforeSave_ = true;
  return std::nullopt;
}

std::optional<std::string> LearningFile::save(const PredictionData& data) {
  // Refused before anything is moved aside; otherwise the encoder finds it.
  if (moveAsideBeforeSave_ && !encodable(data)) return std::string(kUnencodable);
  // Only a file is kept aside: anything else at the path, a directory say, is
  // left where it is for the write below to report.
  if (moveAsideBeforeSave_) {
    // Keep the old content rather than overwrite it; try again next time.
    if (auto kept = keepUnreadableFile(path_, corruptCopyPath_, kMaxFileBytes); kept.error) {
      return kept.error;
    }
  }
  // Changed since (written to in place, say): its text is not ours to copy.
  if (!previous_.valid() || stampOf(previous_) != previousStamp_) {
    encoder_.forget();
    previous_.reset();
  }
  FileDescriptor written;
  bool unencodable = false;
  auto error = writeFileSafely(
      path_,
      [&](SaveWriter& out) {
        SaveSink sink(out, previous_);
        const bool encoded = encoder_.write(data, sink);
        unencodable = !encoded && !sink.failed();
        return encoded;
      },
      &written);
  if (error) {
    encoder_.forget();
    return unencodable ? std::string(kUnencodable) : std::move(error);
  }
  previous_ = std::move(written);
  const auto stamp = stampOf(previous_);
  if (!stamp) encoder_.forget();
  previousStamp_ = stamp.value_or(FileStamp{});
  // The file now holds our own record: nothing left to keep.
  moveAsideBeforeSave_ = false;
  return std::nullopt;
}

}  // namespace kestrine
