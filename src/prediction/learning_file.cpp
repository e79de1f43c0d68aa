#include "prediction/learning_file.h"

#include "storage/file_store.h"

namespace kestrine {

namespace {

constexpr std::string_view kFileName = ".kestrine_ai_data.json";
constexpr std::string_view kCorruptSuffix = ".corrupt";
constexpr std::string_view kLoadFailed = "Failed to load prediction data: ";

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
  FileReadResult read = readWholeFile(path_, kMaxFileBytes);
  if (read.bytes) {
    PredictionDecodeResult decoded = decodePredictionDataBuffer(*read.bytes);
    if (decoded.data) return std::move(decoded.data);
  } else if (read.tooLarge) {
    console_.printLine(std::string(kLoadFailed) + read.error);
  }
  // Start afresh, without a word unless the file was too large, but keep the
  // old content for whoever wants to look at it: the first save moves it
  // aside instead of overwriting it.
  moveAsideBeforeSave_ = true;
  return std::nullopt;
}

std::optional<std::string> LearningFile::save(const PredictionData& data) {
  if (!encoder_.update(data)) return "the learning data holds a number JSON cannot express";
  // Only a file is kept aside: anything else at the path, a directory say, is
  // left where it is for the write below to report.
  if (moveAsideBeforeSave_) {
    // Keep the old content rather than overwrite it; try again next time.
    if (auto kept = keepUnreadableFile(path_, corruptCopyPath_, kMaxFileBytes); kept.error) {
      return kept.error;
    }
  }
  const auto pieces = encoder_.pieces();
  if (auto error = writeFileSafely(path_, pieces)) return error;
  // The file now holds our own record: nothing left to keep.
  moveAsideBeforeSave_ = false;
  return std::nullopt;
}

}  // namespace kestrine
