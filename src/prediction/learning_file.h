#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "ports/console.h"
#include "ports/learning_store.h"
#include "prediction/prediction_data.h"
#include "storage/file_store.h"

namespace kestrine {

// The learning record in ".kestrine_ai_data.json" in the home folder, saved
// safely after every change. Each save encodes only the samples the file did
// not hold yet; the text of the others is written from the file saved before,
// mapped a window at a time, so a month of samples is never held as text.
class LearningFile final : public LearningStore {
 public:
  // `console` takes the one line of a file too large to read.
  LearningFile(const std::filesystem::path& home, Console& console);

  // About 86,400 samples take 8 MB; a larger file is not one of ours.
  static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

  static std::filesystem::path path(const std::filesystem::path& home);
  // Where an unreadable learning file is kept before a save replaces it.
  static std::filesystem::path corruptCopyPath(const std::filesystem::path& home);

  // A missing or unreadable file gives absent; only a file too large to read
  // prints a line.
  std::optional<PredictionData> load() override;
  std::optional<std::string> save(const PredictionData& data) override;

 private:
  std::filesystem::path path_;
  std::filesystem::path corruptCopyPath_;
  Console& console_;
  // An unreadable file found at start is kept as ".corrupt" before the first save.
  bool moveAsideBeforeSave_ = false;
  IncrementalPredictionEncoder encoder_;
  // The file the last save wrote, open for reading, and its stamp then: while
  // it is unchanged, the next save copies the kept samples from it.
  FileDescriptor previous_;
  FileStamp previousStamp_;
};

// Keeps nothing: the record lives only in the predictor's memory.
class MemoryLearningStore final : public LearningStore {
 public:
  std::optional<PredictionData> load() override { return std::nullopt; }
  std::optional<std::string> save(const PredictionData&) override { return std::nullopt; }
};

}  // namespace kestrine
