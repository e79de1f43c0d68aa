// Loads the steady-state learning file and saves it 100 times, as the
// application does over 50 minutes, so its peak resident memory can be
// measured from outside:
//   rss_probe prepare DIR          writes DIR/.kestrine_ai_data.json (86,400 snapshots)
//   /usr/bin/time -v rss_probe run DIR
//   rss_probe check DIR            exits 0 when the file decodes completely
//                                  with at least its 86,400 snapshots (the kill test)
// The file is written by a separate run so that building it does not count.
// Exits 1 if anything failed.

#include <cstdio>
#include <string_view>

#include "bench_support.h"
#include "prediction/battery_predictor.h"
#include "storage/file_store.h"

int main(int argc, char** argv) {
  using namespace kestrine;
  using namespace kestrine::bench;
  if (argc != 3) {
    std::fprintf(stderr, "usage: rss_probe prepare|run|check DIR\n");
    return 2;
  }
  const std::string_view mode = argv[1];
  const std::filesystem::path home = argv[2];
  if (mode == "prepare") {
    const auto text = encodePredictionData(steadyStateRecord(86'400));
    if (auto error = writeFileSafely(BatteryPredictor::dataPath(home), *text)) {
      std::fprintf(stderr, "%s\n", error->c_str());
      return 1;
    }
    return 0;
  }
  if (mode == "check") {
    const FileReadResult read = readWholeFile(BatteryPredictor::dataPath(home));
    if (!read.bytes) {
      std::fprintf(stderr, "%s\n", read.error.c_str());
      return 1;
    }
    const PredictionDecodeResult decoded = decodePredictionDataBuffer(*read.bytes);
    if (!decoded.data) {
      std::fprintf(stderr, "%s\n", decoded.error.c_str());
      return 1;
    }
    return decoded.data->snapshots.size() >= 86'400 ? 0 : 1;
  }
  if (mode != "run") return 2;

  SteppingClock clock(kBenchNow);
  CountingConsole console;
  BatteryPredictor predictor(home, clock, console);
  const auto loaded = predictor.getSnapshotCount();
  for (int i = 0; i < 100; ++i) {
    clock.time += 30.0;
    predictor.recordSnapshot(80 - i / 10, false);
  }
  std::printf("loaded %lld snapshots, %lld after 100 saves, %d failed saves\n",
              static_cast<long long>(loaded), static_cast<long long>(predictor.getSnapshotCount()),
              console.lines);
  return loaded >= 86'400 && console.lines == 0 ? 0 : 1;
}
