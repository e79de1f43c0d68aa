// kestrine-sim's speed targets: a month of battery trace replayed through both
// modes in under two minutes, and the demo well within half a minute.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <streambuf>

#include "sim/demo.h"
#include "sim/laptop_run.h"
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
  state.counters["restarts"] = static_cast<double>(result.smart.restarts);
  state.counters["smart_switches"] = static_cast<double>(result.smart.switches.size());
}
// One replay takes seconds; `make bench` repetitions would only multiply them.
BENCHMARK(BM_WhatIf30Days)->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond);

// The demo's timeline goes nowhere here.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

void BM_Demo(benchmark::State& state) {
  NullBuffer null;
  std::streambuf* saved = std::cout.rdbuf(&null);
  int status = 0;
  for (auto _ : state) {
    RunFolder folder;
    status = runDemo(folder.path(), std::nullopt);
  }
  std::cout.rdbuf(saved);
  if (status != 0) state.SkipWithError("the demo failed");
}
BENCHMARK(BM_Demo)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrine::sim
BENCHMARK_MAIN();
