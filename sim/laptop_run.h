#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/app_delegate.h"
#include "mac_power/power_control.h"
#include "mac_power/sudoers_setup.h"
#include "platform/fake/fake_platform.h"
#include "prediction/learning_file.h"
#include "sim/event_log.h"
#include "sim/virtual_laptop.h"
#include "storage/temporary_folder.h"

namespace kestrine::sim {

// A run's own folder: a new, empty folder, in memory (/dev/shm) where the
// machine has one, since the learning file is rewritten at every check, else
// in the system's temporary folder. Removed with everything in it when this
// object goes. `path()` is empty when no folder could be made.
// SIGINT and SIGTERM remove the newest of them before the process stops.
class RunFolder {
 public:
  RunFolder();
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  const std::filesystem::path& path() const { return folder_.path(); }

 private:
  TemporaryFolder folder_;
};

// Makes the folder given with --home where it is missing; the error, readably,
// when it cannot be made or is not a folder.
std::optional<std::string> makeHomeFolder(const std::filesystem::path& home);

struct LaptopRunOptions {
  WallTime start = fake::wallTimeFromCivil(2026, 3, 14, 9, 0, 0.0);
  std::optional<std::filesystem::path> home;  // default: a new temporary folder, removed after
  std::string userName = "alice";
  bool recordEvents = true;  // false: no event log, no watching of the home folder
};

// One run of the real application on the virtual laptop: the simulated
// machine, the fake platform around it, the AppDelegate, and the log of
// everything the application did that the outside world could see.
class LaptopRun {
 public:
  explicit LaptopRun(LaptopRunOptions options = {});
  ~LaptopRun();
  LaptopRun(const LaptopRun&) = delete;
  LaptopRun& operator=(const LaptopRun&) = delete;

  // Writes a file into the home folder before launch (no event). False, with
  // the reason on stderr, when the home cannot hold it (a folder of that name).
  bool writeHomeFile(const std::string& name, const std::string& content);

  // Creates the application and calls applicationDidFinishLaunching().
  void launch();
  // Quits: applicationWillTerminate() and the delegate goes.
  void quit();
  bool running() const { return app_ != nullptr; }

  // Runs the application's callbacks due before `time`, then sets the clock
  // to `time`: what happens at `time` from outside comes first.
  void runUntilJustBefore(WallTime time);
  // Runs everything due up to and including `time`.
  void runUntil(WallTime time);
  void runUntilTicks(fake::Ticks time);
  // The machine sleeps: no callback runs meanwhile, and a repeating timer that
  // missed passes runs once on waking, as a run-loop timer does.
  void sleep(double seconds);
  // The user chooses a menu item.
  void menuAction(MenuAction action, std::int64_t tag);
  // The user's next answer to an alert that offers this button.
  void queueAnswer(const std::string& button, double secondsOpen = 0.0);

  // A change to the machine, put in the log.
  void note(std::string_view change);
  // What happens from outside at `time` happens just before it: before
  // anything the application does then.
  static fake::Ticks justBefore(WallTime time);

  fake::FakePlatform& sim() { return *sim_; }
  VirtualLaptop& laptop() { return *laptop_; }
  EventLog& log() { return log_; }
  WallTime start() const { return start_; }
  WallTime now() const { return sim_->loop.now(); }
  std::filesystem::path home() const { return sim_->home.path(); }

 private:
  // The application's learning file, looked at after every save: each save
  // becomes an event of its own.
  class WatchedLearningFile final : public LearningStore {
   public:
    explicit WatchedLearningFile(LaptopRun& run)
        : file_(run.home(), run.sim().console), run_(run) {}
    std::optional<PredictionData> load() override { return file_.load(); }
    std::optional<std::string> save(const PredictionData& data) override;

   private:
    LearningFile file_;
    LaptopRun& run_;
  };

  // What the fake ports saw, as the run's events.
  void logSeen(const fake::Seen& seen);
  void pollFiles();
  void afterLoopStep();
  void wire();

  WallTime start_;
  bool recordEvents_;
  std::unique_ptr<fake::FakePlatform> sim_;
  std::unique_ptr<VirtualLaptop> laptop_;
  // The application reaches the virtual Mac the way it reaches a real one:
  // pmset reports, sudo and osascript, through the scripted tool runner.
  std::unique_ptr<PowerControl> power_;
  std::unique_ptr<SudoersSetup> setup_;
  EventLog log_;
  std::unique_ptr<HomeWatcher> watcher_;
  std::optional<WatchedLearningFile> learningFile_;  // a new one at each launch, as the app's own
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<AppDelegate> app_;
  struct QueuedAnswer {
    std::string button;
    double secondsOpen;
  };
  std::deque<QueuedAnswer> answers_;
};

}  // namespace kestrine::sim
