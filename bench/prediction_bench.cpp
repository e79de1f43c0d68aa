// The learning file is rewritten on every 30-second check, so this path sets
// the battery cost of the whole application.

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "prediction/battery_predictor.h"
#include "prediction/learning_file.h"
#include "storage/file_store.h"
#include "support/prediction_text.h"

namespace kestrine::bench {
namespace {

void BM_RecordSnapshot(benchmark::State& state) {
  ScratchHome home;
  const PredictionData start = steadyStateRecord(state.range(0));
  if (auto error =
          writeFileSafely(BatteryPredictor::dataPath(home.path()), *encodePredictionData(start))) {
    state.SkipWithError(error->c_str());
    return;
  }
  SteppingClock clock(kBenchNow);
  CountingConsole console;
  BatteryPredictor predictor(home.path(), clock, console);
  std::int64_t percent = 80;
  for (auto _ : state) {
    // One check later: the new sample comes in and the oldest one leaves.
    clock.time += 30.0;
    predictor.recordSnapshot(percent, false);
  }
  if (console.lines != 0) state.SkipWithError("a save failed");
  state.counters["snapshots"] = static_cast<double>(predictor.getSnapshotCount());
}
BENCHMARK(BM_RecordSnapshot)->Arg(86400)->Unit(benchmark::kMillisecond);

// The floor of the step above: a safe save of the same bytes (temporary file,
// fsync, rename, folder fsync) with nothing to encode.
void BM_SafeWriteAlone(benchmark::State& state) {
  ScratchHome home;
  const std::string text = *encodePredictionData(steadyStateRecord(state.range(0)));
  const auto path = BatteryPredictor::dataPath(home.path());
  for (auto _ : state) {
    if (auto error = writeFileSafely(path, text)) {
      state.SkipWithError(error->c_str());
      return;
    }
  }
  state.counters["file_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_SafeWriteAlone)->Arg(86400)->Unit(benchmark::kMillisecond);

// The same step without the flush to disk, to show what the fsync costs.
void BM_RecordSnapshotWithoutFsync(benchmark::State& state) {
  ScratchHome home;
  PredictionData data = steadyStateRecord(state.range(0));
  const auto path = home.path() / "data.json";
  WallTime now = kBenchNow;
  for (auto _ : state) {
    now += 30.0;
    data.addSnapshot({now, 80, false, 0.5F}, now);
    const auto text = encodePredictionData(data);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      state.SkipWithError("cannot write");
      return;
    }
    std::fwrite(text->data(), 1, text->size(), file);
    std::fclose(file);
  }
}
BENCHMARK(BM_RecordSnapshotWithoutFsync)->Arg(86400)->Unit(benchmark::kMillisecond);

void BM_LoadPredictionData(benchmark::State& state) {
  ScratchHome home;
  const auto path = BatteryPredictor::dataPath(home.path());
  const std::string text = *encodePredictionData(steadyStateRecord(state.range(0)));
  if (auto error = writeFileSafely(path, text)) {
    state.SkipWithError(error->c_str());
    return;
  }
  CountingConsole console;
  for (auto _ : state) {
    // As the application loads it: read in pieces.
    LearningFile file(home.path(), console);
    const auto loaded = file.load();
    if (!loaded) {
      state.SkipWithError("the file did not load");
      return;
    }
    benchmark::DoNotOptimize(loaded->snapshots.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LoadPredictionData)->Arg(86400)->Unit(benchmark::kMillisecond);

void BM_EncodePredictionData(benchmark::State& state) {
  const PredictionData data = steadyStateRecord(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const auto text = encodePredictionData(data);
    bytes = text->size();
    benchmark::DoNotOptimize(text->data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodePredictionData)->Arg(86400)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrine::bench

BENCHMARK_MAIN();
