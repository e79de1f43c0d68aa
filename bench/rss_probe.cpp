// Loads the steady-state learning file and saves it 100 times, the way the
// application does over 50 minutes, so its peak resident memory can be
// measured from outside:  /usr/bin/time -v rss_probe
// Prints the number of snapshots and failed saves; exits 1 if anything failed.

#include <cstdio>

#include "bench_support.h"
#include "prediction/battery_predictor.h"
#include "settings/file_store.h"

int main() {
  using namespace kestrine;
  using namespace kestrine::bench;
  ScratchHome home;
  {
    // Written before the measured part starts; the record is then freed.
    const auto text = encodePredictionData(steadyStateRecord(86'400));
    if (writeFileSafely(BatteryPredictor::dataPath(home.path()), *text)) return 1;
  }
  SteppingClock clock(kBenchNow);
  CountingConsole console;
  BatteryPredictor predictor(home.path(), clock, console);
  const auto loaded = predictor.getSnapshotCount();
  for (int i = 0; i < 100; ++i) {
    clock.time += 30.0;
    predictor.recordSnapshot(80 - i / 10, false);
  }
  std::printf("loaded %lld snapshots, %lld after 100 saves, %d failed saves\n",
              static_cast<long long>(loaded), static_cast<long long>(predictor.getSnapshotCount()),
              console.lines);
  return loaded == 86'400 && console.lines == 0 ? 0 : 1;
}
