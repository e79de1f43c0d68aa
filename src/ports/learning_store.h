#pragma once

#include <optional>
#include <string>

#include "prediction/prediction_data.h"

namespace kestrine {

// Where the predictor keeps its learning record between runs. The application
// keeps it in the learning file in the home folder (LearningFile); a replay
// that only wants the decisions keeps it in memory.
class LearningStore {
 public:
  virtual ~LearningStore() = default;
  // The record saved before; absent when there is none or it cannot be read.
  virtual std::optional<PredictionData> load() = 0;
  // Called after every change of the record; a readable error on failure.
  virtual std::optional<std::string> save(const PredictionData& data) = 0;
};

// Keeps nothing: the record lives only in the predictor's memory.
class MemoryLearningStore final : public LearningStore {
 public:
  std::optional<PredictionData> load() override { return std::nullopt; }
  std::optional<std::string> save(const PredictionData&) override { return std::nullopt; }
};

}  // namespace kestrine
