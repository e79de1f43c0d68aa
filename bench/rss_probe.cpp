// Loads a current 30-day learning file and saves it 100 times, as the
// application does over 50 minutes, so its peak resident memory can be
// measured from outside:
//   rss_probe prepare DIR          writes DIR/.kestrine_ai_data.json: 86,400
//                                  snapshots, one every 30 s up to now
//   /usr/bin/time -v rss_probe run DIR
//                                  (and what the saves sent to storage)
//   rss_probe check DIR            exits 0 when the file decodes completely and
//                                  the application would keep a month of it
//                                  (the kill test)
// Samples are dated by the real clock, as the application's are: a file from
// a fixed date would be pruned to nothing at the application's first pass,
// and the memory of an empty record measured instead.
// The file is written by a separate run so that building it does not count.
// Exits 1 if anything failed.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "bench_support.h"
#include "prediction/battery_predictor.h"
#include "storage/file_store.h"
#include "support/prediction_text.h"

namespace {

// What this process has sent to storage so far, as the kernel counts it.
struct IoCounts {
  bool known = false;
  long long storage = 0;  // write_bytes: pages dirtied, whether written or copied
};

IoCounts ioCounts() {
  IoCounts counts;
  std::ifstream io("/proc/self/io");
  for (std::string key; io >> key;) {
    if (key == "write_bytes:" && io >> counts.storage) counts.known = true;
  }
  return counts;
}

constexpr std::int64_t kMonth = 86'400;
// What a file must still hold to count as a month: the kill test runs for
// minutes, and every 30 s of them ages one sample out.
constexpr std::int64_t kMonthLeft = kMonth - 1'000;

}  // namespace

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
    const auto text = encodePredictionData(steadyStateRecord(kMonth, wallNow()));
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
    const PredictionDecodeResult decoded = decodePredictionData(*read.bytes);
    if (!decoded.data) {
      std::fprintf(stderr, "does not decode: %s\n", decoded.error.c_str());
      return 1;
    }
    // What the application would keep of it now.
    const WallTime now = wallNow();
    const auto& snapshots = decoded.data->snapshots;
    const auto kept = std::count_if(snapshots.begin(), snapshots.end(), [now](const auto& s) {
      return s.timestamp > now - PredictionData::kRetentionSeconds &&
             s.timestamp <= now + PredictionData::kFutureToleranceSeconds;
    });
    if (kept < kMonthLeft) {
      std::fprintf(stderr, "decodes, but the application would keep %lld of its %zu samples\n",
                   static_cast<long long>(kept), snapshots.size());
      return 1;
    }
    return 0;
  }
  if (mode != "run") return 2;

  WallClock clock;
  CountingConsole console;
  BatteryPredictor predictor(home, clock, console);
  const auto loaded = predictor.getSnapshotCount();
  const IoCounts before = ioCounts();
  for (int i = 0; i < 100; ++i) predictor.recordSnapshot(80 - i / 10, false);
  const IoCounts after = ioCounts();
  std::printf("loaded %lld snapshots, %lld after 100 saves, %d failed saves\n",
              static_cast<long long>(loaded), static_cast<long long>(predictor.getSnapshotCount()),
              console.lines);
  if (after.known && before.known) {
    std::printf("the 100 saves sent %lld bytes to storage (write_bytes), %lld per save\n",
                after.storage - before.storage, (after.storage - before.storage) / 100);
  }
  return loaded >= kMonthLeft && console.lines == 0 ? 0 : 1;
}
