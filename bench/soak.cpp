// The soak: a month of working days on the virtual laptop with the real core,
// with reports that hang, switches that fail, an hour of full disk and nights
// asleep. It checks that nothing crashes and that memory stays flat: the last
// day's peak resident memory within 5 % of the second day's (the first day
// holds the start-up's one-off allocations).
//
//   soak [DAYS]        (default 30; exit status 1 when memory grew or a check failed)
//
// The learning file starts with 30 days lived as these are, so every pass saves a
// file of steady size and any growth is the program's own. The home is a run
// folder in /dev/shm: the file is rewritten at every 30-second pass. The full
// disk is a file-size limit of 1 MiB for that hour: every save of the learning
// file fails midway, as it does on a full disk, and must fail with its line.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "prediction/battery_predictor.h"
#include "prediction/prediction_data.h"
#include "sim/laptop_run.h"
#include "storage/file_store.h"
#include "support/prediction_text.h"

namespace kestrine::sim {
namespace {

constexpr double kDay = 86400.0;
constexpr double kHour = 3600.0;
constexpr double kPass = 30.0;
constexpr std::string_view kSaveFailed = "Failed to save prediction data: ";

long residentKilobytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void setFileSizeLimit(rlim_t bytes) {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = std::min(bytes, limit.rlim_max);
  setrlimit(RLIMIT_FSIZE, &limit);
}

// The 30 days before the start as the soak lives them: a sample every pass
// from 07:00 to 23:00, none at night, so the learning file keeps its size.
PredictionData monthAsSoaked(WallTime start) {
  PredictionData data;
  for (double t = -30 * kDay; t < 0; t += kPass) {
    const double sinceNine = std::fmod(t + 30 * kDay, kDay);
    if (sinceNine >= 14 * kHour && sinceNine < 22 * kHour) continue;
    const bool charging = sinceNine >= 8 * kHour;
    const auto percent = static_cast<std::int64_t>(charging ? 100.0 : 100.0 - sinceNine / 150.0);
    data.snapshots.push_back({start + t, percent, charging, 0.5F});
  }
  data.daysCollected = 30;
  return data;
}

// The highest resident memory since the last reset, and the reset (Linux 4.0 on).
long peakKilobytesSinceReset() {
  long kilobytes = 0;
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      if (std::sscanf(line, "VmHWM: %ld", &kilobytes) == 1) break;
    }
    std::fclose(status);
  }
  return kilobytes;
}
void resetPeak() {
  if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", refs);
    std::fclose(refs);
  }
}

struct Counts {
  long passes = 0;
  long failedSaves = 0;
  long switchesDone = 0;
  long switchesFailed = 0;
  long timedOut = 0;
  long peakKilobytes = 0;      // the highest resident memory of the day, passes included
  long retainedKilobytes = 0;  // the highest resident memory seen between passes
};

int soak(int days) {
  RunFolder folder;
  if (folder.path().empty()) {
    std::fprintf(stderr, "soak: no run folder\n");
    return 1;
  }
  LaptopRunOptions options;
  options.home = folder.path();
  options.recordEvents = false;  // a month of events would be the harness's own growth
  LaptopRun run(options);
  VirtualLaptop& machine = run.laptop();

  const auto dataFile = BatteryPredictor::dataPath(run.home());
  run.writeHomeFile(dataFile.filename().string(),
                    *encodePredictionData(monthAsSoaked(run.start())));

  Counts day;
  Counts total;
  bool diskFull = false;
  long failedSavesWhileFull = 0;
  std::map<std::string, long> otherLines;
  std::string firstFailedSave;
  // A switch goes by sudo first and, when that fails, by the password dialog.
  auto countRun = [&](const fake::ToolRun& tool) {
    if (tool.result.timedOut) ++day.timedOut;
    const auto& args = tool.request.arguments;
    const bool bySudo = tool.request.program.ends_with("sudo");
    const bool isSwitch = std::any_of(args.begin(), args.end(), [&](const std::string& a) {
      return bySudo ? a == "lowpowermode" : a.find("lowpowermode 1") != std::string::npos;
    });
    if (!isSwitch) return;
    const bool ok = tool.result.started && !tool.result.timedOut && tool.result.exitStatus == 0;
    if (ok) {
      ++day.switchesDone;
    } else if (!bySudo) {
      ++day.switchesFailed;
    }
  };
  run.sim().record.listen([&](const fake::Seen& seen) {
    if (const auto* tool = std::get_if<fake::ToolRun>(&seen)) countRun(*tool);
    const auto* printed = std::get_if<fake::Printed>(&seen);
    if (!printed) return;
    if (printed->line.starts_with(kSaveFailed)) {
      if (firstFailedSave.empty()) firstFailedSave = printed->line;
      ++day.failedSaves;
      if (diskFull) ++failedSavesWhileFull;
    } else {
      ++otherLines[printed->line];
    }
  });

  run.queueAnswer("Continue");  // the welcome alert; the setup's password is given at once
  machine.setOnMains(true);
  machine.setPercent(100.0);
  run.launch();

  const int fullDiskDay = days / 2;
  const int smartModeDay = days / 3;
  std::vector<long> peaks;
  const auto began = std::chrono::steady_clock::now();
  for (int d = 0; d < days; ++d) {
    const WallTime dayStart = run.start() + d * kDay;  // 09:00
    resetPeak();
    for (int k = 0; k < static_cast<int>(kDay / kPass); ++k) {
      const double offset = k * kPass;
      const WallTime at = dayStart + offset;
      if (run.now() > at) continue;  // asleep
      run.runUntilJustBefore(at);
      // The working day: off the charger at 09:00 with Low Power Mode off, a
      // drain that crosses the threshold in the afternoon, on the charger at 17:00.
      if (offset == 0.0) {
        machine.setLowPowerMode(0);
        machine.setDrainPerMinute(0.19 + 0.01 * (d % 3));
        machine.setOnMains(false);
      } else if (offset == 8 * kHour) {
        machine.setOnMains(true);
      }
      // A report that hangs for half an hour on alternate days, each kind.
      if (offset == 1 * kHour) {
        machine.setToolOutcome(d % 2 ? ToolKey::kCustomReport : ToolKey::kBatteryReport,
                               {ToolOutcome::Kind::kHang, 0});
      } else if (offset == 1.5 * kHour) {
        machine.setToolOutcome(ToolKey::kBatteryReport, {});
        machine.setToolOutcome(ToolKey::kCustomReport, {});
      }
      // Two afternoons in four sudo fails until the charger comes: on one the
      // password dialog switches instead, on the other that fails too.
      if (d % 2 == 1 && offset == 5 * kHour) {
        machine.setToolOutcome(ToolKey::kSudo, {ToolOutcome::Kind::kExit, 1});
        if (d % 4 == 3) machine.setToolOutcome(ToolKey::kOsascript, {ToolOutcome::Kind::kExit, 1});
      } else if (offset == 8 * kHour) {
        machine.setToolOutcome(ToolKey::kSudo, {});
        machine.setToolOutcome(ToolKey::kOsascript, {});
      }
      if (d == fullDiskDay && offset == 3 * kHour) {
        diskFull = true;
        setFileSizeLimit(1 << 20);
      } else if (d == fullDiskDay && offset == 4 * kHour) {
        setFileSizeLimit(RLIM_INFINITY);
        diskFull = false;
      }
      if (d == smartModeDay && offset == 3 * kHour) run.menuAction(MenuAction::kToggleSmartMode, 0);
      run.runUntil(at);
      if (offset == 14 * kHour) run.sleep(8 * kHour);  // 23:00 to 07:00

      ++day.passes;
      day.retainedKilobytes = std::max(day.retainedKilobytes, residentKilobytes());
    }
    day.peakKilobytes = peakKilobytesSinceReset();
    peaks.push_back(day.peakKilobytes);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf(
        "day %2d  peak RSS %5.1f MB  between passes %5.1f MB  passes %4ld  failed saves %3ld  "
        "switches %ld done, %ld "
        "failed  timed out %ld  (%.0f s)\n",
        d + 1, day.peakKilobytes / 1024.0, day.retainedKilobytes / 1024.0, day.passes,
        day.failedSaves, day.switchesDone, day.switchesFailed, day.timedOut, seconds);
    std::fflush(stdout);
    total.passes += day.passes;
    total.failedSaves += day.failedSaves;
    total.switchesDone += day.switchesDone;
    total.switchesFailed += day.switchesFailed;
    total.timedOut += day.timedOut;
    day = Counts{};
  }

  int status = 0;
  std::printf("total: %ld passes, %ld failed saves (%ld in the full-disk hour of day %d), ",
              total.passes, total.failedSaves, failedSavesWhileFull, fullDiskDay + 1);
  std::printf("%ld switches done, %ld failed, %ld tool runs timed out\n", total.switchesDone,
              total.switchesFailed, total.timedOut);
  if (!firstFailedSave.empty()) std::printf("  first failed save: %s\n", firstFailedSave.c_str());
  for (const auto& [line, count] : otherLines)
    std::printf("  printed %ld x: %s\n", count, line.c_str());
  if (!run.running()) {
    std::printf("FAIL: the application is no longer running\n");
    status = 1;
  }
  const FileReadResult read = readWholeFile(dataFile);
  const auto decoded = read.bytes ? decodePredictionData(*read.bytes) : PredictionDecodeResult{};
  if (!decoded.data) {
    std::printf("FAIL: the learning file does not decode at the end\n");
    status = 1;
  } else {
    std::printf("learning file: %zu snapshots\n", decoded.data->snapshots.size());
  }
  const auto entries = std::distance(std::filesystem::directory_iterator(run.home()),
                                     std::filesystem::directory_iterator());
  std::printf("files in the home at the end: %ld\n", static_cast<long>(entries));
  if (days >= 2) {
    const double growth = 100.0 * (peaks.back() - peaks[1]) / static_cast<double>(peaks[1]);
    std::printf("memory: day 2 peak %.1f MB, day %d peak %.1f MB, %+.2f %% (limit +5 %%)\n",
                peaks[1] / 1024.0, days, peaks.back() / 1024.0, growth);
    if (growth > 5.0) {
      std::printf("FAIL: memory grew\n");
      status = 1;
    }
  }
  return status;
}

}  // namespace
}  // namespace kestrine::sim

int main(int argc, char** argv) {
  const int days = argc > 1 ? std::atoi(argv[1]) : 30;
  if (days < 1 || days > 400) {
    std::fprintf(stderr, "usage: soak [DAYS]   (1 to 400, default 30)\n");
    return 2;
  }
  return kestrine::sim::soak(days);
}
