#include "sim/laptop_run.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <system_error>
#include <utility>

#include "sim/menu_actions.h"
#include "storage/file_store.h"
#include "storage/utf8.h"

namespace kestrine::sim {

namespace {

// Files up to this size are put into their event whole.
constexpr std::uintmax_t kFileContentLimit = 4096;
// "Just before" a moment: far below the millisecond the log shows.
constexpr fake::Ticks kJustBefore = 100;

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

std::string buttonName(const Alert& alert, int answer) {
  if (alert.buttons.empty()) return "OK";
  const auto index = static_cast<std::size_t>(answer - kAlertFirstButton);
  return index < alert.buttons.size() ? alert.buttons[index] : std::to_string(answer);
}

std::string menuSummary(const Menu& menu) {
  std::vector<std::string> titles;
  for (const auto& item : menu.items) titles.push_back(item.isSeparator ? "-" : item.title);
  return joined(titles, " | ");
}

fake::FakeOptions simOptions(const LaptopRunOptions& options) {
  fake::FakeOptions sim;
  sim.start = options.start;
  sim.home = options.home;
  sim.userName = options.userName;
  sim.keepRecord = false;  // the event log tells it as it comes
  return sim;
}

// The run's folder, for the signal handler: it may only touch plain memory.
char gRunFolder[4096];

// SIGINT or SIGTERM: the folder goes, then the signal does what it always does.
// A child removes it, since nothing that walks a tree is safe in a handler.
void removeRunFolderAndStop(int signal) {
  if (gRunFolder[0] != '\0') {
    const pid_t child = ::fork();
    if (child == 0) {
      char* const argv[] = {const_cast<char*>("rm"), const_cast<char*>("-rf"),
                            const_cast<char*>("--"), gRunFolder, nullptr};
      ::execv("/bin/rm", argv);
      ::_exit(127);
    }
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

std::optional<std::string> makeHomeFolder(const std::filesystem::path& home) {
  std::error_code error;
  std::filesystem::create_directories(home, error);
  if (!error && std::filesystem::is_directory(home, error)) return std::nullopt;
  return "cannot use " + home.string() +
         " as the home folder: " + (error ? error.message() : std::string("not a folder"));
}

namespace {

// Memory-backed where the system has it: a run writes its files at every pass.
std::filesystem::path runFolderBase() {
  if (::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return {};
}

}  // namespace

RunFolder::RunFolder() : folder_("kestrine-sim", runFolderBase()) {
  const std::string& path = folder_.path().native();
  if (path.empty() || path.size() >= sizeof gRunFolder) return;
  std::memcpy(gRunFolder, path.c_str(), path.size() + 1);
  struct sigaction action {};
  action.sa_handler = removeRunFolderAndStop;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

RunFolder::~RunFolder() {
  if (!path().empty() && path() == gRunFolder) gRunFolder[0] = '\0';
}

LaptopRun::LaptopRun(LaptopRunOptions options)
    : start_(options.start),
      recordEvents_(options.recordEvents),
      sim_(std::make_unique<fake::FakePlatform>(simOptions(options))),
      laptop_(std::make_unique<VirtualLaptop>(sim_->clock, options.userName)),
      power_(std::make_unique<PowerControl>(sim_->tools, sim_->powerSources, laptop_->tools())),
      setup_(std::make_unique<SudoersSetup>(
          sim_->tools, sim_->user, laptop_->tools(),
          SetupFollowUp{.home = sim_->home.path(),
                        .console = &sim_->console,
                        .registerLoginItem = [this] { return laptop_->registerLoginItem(); },
                        .afterSetup = {}})),
      log_(options.start) {
  if (recordEvents_) watcher_ = std::make_unique<HomeWatcher>(sim_->home.path());
  const Platform& p = sim_->platform();
  platform_ = std::make_unique<Platform>(Platform{.statusBar = p.statusBar,
                                                  .alerts = p.alerts,
                                                  .notifier = p.notifier,
                                                  .mainLoop = p.mainLoop,
                                                  .power = *power_,
                                                  .clock = p.clock,
                                                  .home = p.home,
                                                  .console = p.console,
                                                  .wording = p.wording,
                                                  .oneTimeSetup = setup_.get()});
  wire();
}

std::optional<std::string> LaptopRun::WatchedLearningFile::save(const PredictionData& data) {
  auto error = file_.save(data);
  run_.pollFiles();
  return error;
}

LaptopRun::~LaptopRun() {
  if (app_) quit();
}

void LaptopRun::wire() {
  fake::FakePlatform& s = *sim_;
  VirtualLaptop& machine = *laptop_;
  s.tools.setHandler([&machine](const ToolRequest& request) { return machine.run(request); });
  s.powerSources.setProvider([&machine] { return machine.copySources(); });
  // The application waits on a tool: the world goes on, the main thread does not.
  machine.passTime = [&s](double seconds) { s.loop.passTimeBlocked(seconds); };

  // The scripted user answers by button title; an alert without the awaited
  // button gets its first one and leaves the awaited answer queued.
  s.alerts.setResponder([this](const Alert& alert) {
    fake::AlertAnswer answer;
    if (!answers_.empty()) {
      const auto& wanted = answers_.front();
      const std::vector<std::string> buttons =
          alert.buttons.empty() ? std::vector<std::string>{"OK"} : alert.buttons;
      for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] == wanted.button) {
          answer.button = kAlertFirstButton + static_cast<int>(i);
          answer.secondsOpen = wanted.secondsOpen;
          answers_.pop_front();
          break;
        }
      }
    }
    return answer;
  });

  if (!recordEvents_) return;

  s.record.listen([this](const fake::Seen& seen) { logSeen(seen); });
  machine.onPasswordDialog = [this](const std::string& prompt, std::string_view answer) {
    log_.add(now(), "password", JsonObject().add("prompt", prompt).add("answer", answer),
             "password " + std::string(answer) + " / " + prompt);
  };
  machine.onLoginItemAdded = [this] {
    log_.add(now(), "login-item", JsonObject(), "login item added");
  };
}

void LaptopRun::logSeen(const fake::Seen& seen) {
  if (const auto* event = std::get_if<fake::LoopEvent>(&seen)) {
    if (event->kind == fake::LoopEvent::Kind::kTerminate) {
      log_.add(event->time, "terminate", JsonObject(), "terminate");
    }
    return;
  }
  if (const auto* shown = std::get_if<fake::AlertAnswered>(&seen)) {
    const std::string button = buttonName(shown->alert, shown->answer);
    JsonObject o;
    o.add("title", shown->alert.title)
        .add("body", shown->alert.body)
        .add("buttons", shown->alert.buttons)
        .add("answer", shown->answer)
        .add("button", button)
        .addNumber("answeredAt", std::round((shown->answeredAt - start_) * 1000.0) / 1000.0, 3);
    const std::vector<std::string> buttons =
        shown->alert.buttons.empty() ? std::vector<std::string>{"OK"} : shown->alert.buttons;
    log_.add(shown->shownAt, "alert", o,
             "alert " + shown->alert.title + " [" + joined(buttons, "/") + "] -> " + button);
    return;
  }
  if (std::holds_alternative<fake::PowerRequest>(seen)) return;  // the run's power is the Mac's
  // Anything else the application showed may follow a file it wrote.
  pollFiles();
  if (const auto* run = std::get_if<fake::ToolRun>(&seen)) {
    JsonObject o;
    o.add("program", run->request.program).add("arguments", run->request.arguments);
    o.add("started", run->result.started);
    if (!run->result.started) o.add("startError", run->result.startError);
    if (run->result.timedOut) o.add("timedOut", true);
    if (run->result.started) o.add("exitStatus", run->result.exitStatus);
    if (run->request.captureOutput) o.add("output", run->result.output);
    std::string summary = "tool " + fake::commandLine(run->request) + " -> ";
    summary += run->result.started ? (run->result.timedOut ? std::string("timed out")
                                                           : std::to_string(run->result.exitStatus))
                                   : "not started";
    log_.add(run->startedAt, "tool", o, std::move(summary));
  } else if (const auto* title = std::get_if<fake::TitleSet>(&seen)) {
    log_.add(now(), "title", JsonObject().add("title", title->title), "title " + title->title);
  } else if (const auto* menu = std::get_if<fake::MenuSet>(&seen)) {
    log_.add(now(), "menu", JsonObject().addRaw("items", menuJson(menu->menu.items)),
             "menu " + menuSummary(menu->menu));
  } else if (const auto* n = std::get_if<Notification>(&seen)) {
    log_.add(now(), "notification",
             JsonObject().add("title", n->title).add("subtitle", n->subtitle).add("body", n->body),
             "notification " + n->title + " / " + n->subtitle + " / " + n->body);
  } else if (const auto* printed = std::get_if<fake::Printed>(&seen)) {
    log_.add(now(), "print", JsonObject().add("line", printed->line), "print " + printed->line);
  }
}

void LaptopRun::pollFiles() {
  if (!watcher_) return;
  for (const auto& change : watcher_->poll()) {
    JsonObject o;
    o.add("path", change.path);
    if (change.removed) {
      log_.add(now(), "file-removed", o, "file-removed " + change.path);
      continue;
    }
    o.add("size", static_cast<std::int64_t>(change.size));
    if (change.size <= kFileContentLimit) {
      const auto content = readWholeFile(home() / change.path, kFileContentLimit).bytes;
      if (content && isValidUtf8(*content)) o.add("content", *content);
    }
    log_.add(now(), "file", o, "file " + change.path);
  }
}

bool LaptopRun::writeHomeFile(const std::string& name, const std::string& content) {
  const auto path = home() / name;
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream file;
  if (!error) file.open(path, std::ios::binary | std::ios::trunc);
  if (!error && file << content && file.flush()) return true;
  std::cerr << "kestrine-sim: cannot write " << path.string() << ": "
            << (error ? error.message() : std::string("not a writable file")) << '\n';
  return false;
}

void LaptopRun::launch() {
  if (app_) return;
  pollFiles();  // what was there before launch is not the application's doing
  note("launch");
  if (recordEvents_) platform_->learningStore = &learningFile_.emplace(*this);
  app_ = std::make_unique<AppDelegate>(*platform_);
  app_->applicationDidFinishLaunching();
  afterLoopStep();
}

void LaptopRun::quit() {
  if (!app_) return;
  app_->applicationWillTerminate();
  app_.reset();
  pollFiles();
}

void LaptopRun::afterLoopStep() {
  pollFiles();
  if (app_ && sim_->loop.isTerminated()) quit();
}

void LaptopRun::runUntilTicks(fake::Ticks time) {
  fake::VirtualMainLoop& loop = sim_->loop;
  while (!loop.isTerminated()) {
    const auto due = loop.nextDueTicks();
    if (!due || *due > time) break;
    loop.step();
    afterLoopStep();
  }
  if (!loop.isTerminated() && loop.nowTicks() < time) loop.runUntilTicks(time);
}

void LaptopRun::runUntil(WallTime time) { runUntilTicks(fake::ticksFromSeconds(time)); }

fake::Ticks LaptopRun::justBefore(WallTime time) {
  return fake::ticksFromSeconds(time) - kJustBefore;
}

void LaptopRun::runUntilJustBefore(WallTime time) {
  const fake::Ticks before = justBefore(time);
  if (before > sim_->loop.nowTicks()) runUntilTicks(before);
}

void LaptopRun::menuAction(MenuAction action, std::int64_t tag) {
  if (!app_) return;
  const std::string word(menuActionWord(action));
  log_.add(
      now(), "menu-action", JsonObject().add("action", word).add("tag", tag),
      "menu-action " + word +
          (action == MenuAction::kChangeThreshold ? " " + std::to_string(tag) : std::string()));
  app_->performMenuAction(action, tag);
  afterLoopStep();
}

void LaptopRun::sleep(double seconds) {
  char whole[32];  // whole seconds, printed without a conversion that could overflow
  std::snprintf(whole, sizeof whole, "%.0f", std::floor(seconds));
  note("sleep " + std::string(whole) + "s");
  // The machine's changes due meanwhile wait for the waking.
  auto outside = std::exchange(sim_->loop.outside, {});
  sim_->loop.passTimeBlocked(seconds);
  sim_->loop.outside = std::move(outside);
}

void LaptopRun::queueAnswer(const std::string& button, double secondsOpen) {
  answers_.push_back({button, secondsOpen});
}

void LaptopRun::note(std::string_view change) {
  if (!recordEvents_) return;
  log_.add(now(), "machine", JsonObject().add("change", change), "machine " + std::string(change));
}

}  // namespace kestrine::sim
