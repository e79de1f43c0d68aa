// kestrine-sim's speed targets: a month of battery trace replayed through both
// modes in at most 2 s; a 1.7-million-row trace of 50 MB in at most three times
// the reading of that trace alone and 150 MB; the demo well within half a minute.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <streambuf>

#include "sim/event_log.h"
#include "sim/laptop_run.h"
#include "sim/scenario.h"
#include "sim/whatif.h"

namespace kestrine::sim {
namespace {

// A working month logged once a minute: off the charger at 09:00, a drain that
// varies from day to day, plugged in at 17:00 or earlier when nearly empty,
// charged overnight.
std::string monthOfTrace(int days) {
  std::ostringstream csv;
  csv << "time,percent,charging\n";
  for (int day = 0; day < days; ++day) {
    const double drain = 0.12 + 0.04 * (day % 5);  // points a minute
    for (int minute = 0; minute < 24 * 60; ++minute) {
      const int t = (day * 24 * 60 + minute) * 60;
      const bool working = minute >= 9 * 60 && minute < 17 * 60;
      const double percent = working ? std::max(3.0, 100.0 - drain * (minute - 9 * 60)) : 100.0;
      const bool charging = !working || percent <= 3.0;
      csv << t << ',' << percent << ',' << (charging ? 1 : 0) << '\n';
    }
  }
  return csv.str();
}

void BM_WhatIf30Days(benchmark::State& state) {
  const TraceParse parsed = parseTrace(monthOfTrace(30), "month.csv");
  if (!parsed.trace) {
    state.SkipWithError(parsed.error->str().c_str());
    return;
  }
  WhatIfResult result;
  for (auto _ : state) {
    RunFolder folder;
    WhatIfOptions options;
    options.home = folder.path();
    result = runWhatIf(*parsed.trace, options);
    benchmark::DoNotOptimize(result.passes);
  }
  state.counters["passes"] = static_cast<double>(result.passes);
  state.counters["smart_switches"] = static_cast<double>(result.smart.switches.size());
}
// One replay takes seconds; `make bench` repetitions would only multiply them.
BENCHMARK(BM_WhatIf30Days)->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond);

// Timelines and reports go nowhere here.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

// A long history at one row a second, as a logger that samples often writes
// it: 1.7 million rows of ISO times in about 50 MB, some 20 days.
struct TempFile {
  std::filesystem::path path;
  ~TempFile() { std::filesystem::remove(path); }
};

std::filesystem::path largeTraceFile() {
  static const TempFile made{[] {
    const auto file = std::filesystem::temp_directory_path() / "kestrine-bench-large-trace.csv";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "time,percent,charging\n";
    constexpr WallTime kStart = 795139200.0;  // 2026-03-14 00:00 UTC
    double percent = 100.0;
    bool charging = false;
    for (int i = 0; i < 1'700'000; ++i) {
      // Down at 0.4 points a minute to 10 %, then up at 2 points a minute.
      percent = std::min(100.0, percent + (charging ? 2.0 / 60 : -0.4 / 60));
      if (percent <= 10.0) charging = true;
      if (percent >= 100.0) charging = false;
      out << isoTime(kStart + i) << ',' << std::fixed << std::setprecision(2) << percent << ','
          << (charging ? 1 : 0) << '\n';
    }
    return file;
  }()};
  return made.path;
}

long peakRssMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// The floor: reading and parsing the file alone.
void BM_ReadLargeTrace(benchmark::State& state) {
  const auto file = largeTraceFile();
  std::size_t rows = 0;
  for (auto _ : state) {
    const TraceParse parsed = loadTrace(file);
    if (!parsed.trace) {
      state.SkipWithError(parsed.error->str().c_str());
      return;
    }
    rows = parsed.trace->points.size();
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["megabytes"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}
BENCHMARK(BM_ReadLargeTrace)->Iterations(1)->Unit(benchmark::kSecond);

// The whole command on it. Run alone for its peak memory:
//   bench_whatif --benchmark_filter=BM_WhatIfLargeTrace
void BM_WhatIfLargeTrace(benchmark::State& state) {
  const auto file = largeTraceFile();
  NullBuffer null;
  int status = 0;
  for (auto _ : state) {
    std::streambuf* saved = std::cout.rdbuf(&null);
    const auto trace = whatIfTrace(file, kUpowerHistoryFolder);
    RunFolder folder;
    status = trace ? reportWhatIf(*trace, {.home = folder.path()}, std::nullopt, false) : 2;
    std::cout.rdbuf(saved);
  }
  if (status != 0) state.SkipWithError("what-if failed");
  state.counters["peak_rss_MB"] = static_cast<double>(peakRssMegabytes());
}
BENCHMARK(BM_WhatIfLargeTrace)->Iterations(1)->Unit(benchmark::kSecond);

void BM_Demo(benchmark::State& state) {
  NullBuffer null;
  std::streambuf* saved = std::cout.rdbuf(&null);
  const Scenario demo = *parseScenario(kDemoScenario, "demo.scenario", {}).scenario;
  int status = 0;
  for (auto _ : state) {
    RunFolder folder;
    status = playScenarioFile(demo, folder.path(), std::nullopt, true);
  }
  std::cout.rdbuf(saved);
  if (status != 0) state.SkipWithError("the demo failed");
}
BENCHMARK(BM_Demo)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrine::sim
BENCHMARK_MAIN();
