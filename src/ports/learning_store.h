#pragma once

#include <optional>
#include <string>

namespace kestrine {

// The record itself is the predictor's; the port only carries it.
struct PredictionData;

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

}  // namespace kestrine
