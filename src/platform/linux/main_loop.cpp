#include "platform/linux/main_loop.h"

#include <cmath>
#include <deque>

namespace kestrine::linux_desktop {

struct RepeatingTimerState {
  std::function<void()> callback;
  guint source = 0;
};

struct GlibMainLoop::State {
  ModalGate gate;
  // The timer whose pass was held back last; weak, since it may be invalidated
  // before the alert closes.
  std::weak_ptr<RepeatingTimerState> held;
  guint heldSource = 0;
  int waits = 0;    // nested waitUntil() calls
  int running = 0;  // the application's callbacks in progress (nested in waits)
  std::deque<std::function<void()>> queued;
  guint queueSource = 0;
  bool ending = false;

  // Whether the application's code is in the middle of something: then nothing
  // else of it may start.
  bool busy() const { return running > 0 || waits > 0; }
};

namespace {

guint milliseconds(double seconds) {
  if (!(seconds > 0)) return 0;
  return static_cast<guint>(std::lround(seconds * 1000.0));
}

struct TimerSourceData {
  std::weak_ptr<RepeatingTimerState> timer;
  std::weak_ptr<GlibMainLoop::State> loop;
};

class GlibTimer final : public Timer {
 public:
  explicit GlibTimer(std::shared_ptr<RepeatingTimerState> state) : state_(std::move(state)) {}
  ~GlibTimer() override { invalidate(); }
  void invalidate() override {
    if (state_->source != 0) {
      g_source_remove(state_->source);
      state_->source = 0;
    }
    state_->callback = nullptr;
  }

 private:
  std::shared_ptr<RepeatingTimerState> state_;
};

void runHeldPass(const std::shared_ptr<GlibMainLoop::State>& loop);
void runCallback(const std::shared_ptr<GlibMainLoop::State>& loop,
                 const std::function<void()>& callback);

gboolean onQueued(gpointer data) {
  auto* weak = static_cast<std::weak_ptr<GlibMainLoop::State>*>(data);
  auto loop = weak->lock();
  if (!loop) return G_SOURCE_REMOVE;
  if (loop->ending || loop->queued.empty() || loop->busy()) {
    loop->queueSource = 0;
    return G_SOURCE_REMOVE;
  }
  auto next = std::move(loop->queued.front());
  loop->queued.pop_front();
  runCallback(loop, next);
  if (!loop->queued.empty()) return G_SOURCE_CONTINUE;
  loop->queueSource = 0;
  return G_SOURCE_REMOVE;
}

void freeWeakState(gpointer data) { delete static_cast<std::weak_ptr<GlibMainLoop::State>*>(data); }

// Queued work runs from an idle source, one item per dispatch, once nothing
// of the application's runs.
void scheduleQueue(const std::shared_ptr<GlibMainLoop::State>& loop) {
  if (loop->queueSource != 0 || loop->queued.empty() || loop->busy()) return;
  loop->queueSource = g_idle_add_full(G_PRIORITY_DEFAULT, onQueued,
                                      new std::weak_ptr<GlibMainLoop::State>(loop), freeWeakState);
}

void runCallback(const std::shared_ptr<GlibMainLoop::State>& loop,
                 const std::function<void()>& callback) {
  ++loop->running;
  callback();
  --loop->running;
  scheduleQueue(loop);
}

// A one-shot call or a command: now, or queued behind what runs.
void runOrQueue(const std::shared_ptr<GlibMainLoop::State>& loop, std::function<void()> callback) {
  if (loop->ending) return;
  if (loop->busy()) {
    loop->queued.push_back(std::move(callback));
    return;
  }
  runCallback(loop, callback);
}

gboolean onHeldPass(gpointer data) {
  auto* weak = static_cast<std::weak_ptr<GlibMainLoop::State>*>(data);
  if (auto loop = weak->lock()) {
    loop->heldSource = 0;
    runHeldPass(loop);
  }
  return G_SOURCE_REMOVE;
}

void runHeldPass(const std::shared_ptr<GlibMainLoop::State>& loop) {
  auto timer = loop->held.lock();
  loop->held.reset();
  // An alert that closed while a daemon's answer is awaited: the held pass is
  // dropped like any pass of that time; the next one comes on schedule.
  if (!timer || !timer->callback || loop->busy()) return;
  // A new alert may have opened before the idle source ran; then the pass
  // waits for that one too.
  if (!loop->gate.admit()) {
    loop->held = timer;
    return;
  }
  auto callback = timer->callback;  // the pass may invalidate its own timer
  runCallback(loop, callback);
}

gboolean onRepeatingTimer(gpointer data) {
  auto* source = static_cast<TimerSourceData*>(data);
  auto timer = source->timer.lock();
  auto loop = source->loop.lock();
  if (!timer || !timer->callback || !loop) return G_SOURCE_REMOVE;
  // A modal alert's own loop holds the pass; a pass or command that awaits a
  // daemon makes it skip.
  if (!loop->gate.admit()) {
    loop->held = timer;
    return G_SOURCE_CONTINUE;
  }
  if (loop->busy()) return G_SOURCE_CONTINUE;
  auto callback = timer->callback;
  runCallback(loop, callback);
  return G_SOURCE_CONTINUE;
}

void freeTimerSource(gpointer data) { delete static_cast<TimerSourceData*>(data); }

struct OneShot {
  std::function<void()> callback;
  std::weak_ptr<GlibMainLoop::State> loop;
};

gboolean onOneShot(gpointer data) {
  auto* call = static_cast<OneShot*>(data);
  if (auto loop = call->loop.lock()) runOrQueue(loop, std::move(call->callback));
  return G_SOURCE_REMOVE;
}

void freeOneShot(gpointer data) { delete static_cast<OneShot*>(data); }

}  // namespace

GlibMainLoop::GlibMainLoop()
    : loop_(g_main_loop_new(nullptr, FALSE)), state_(std::make_shared<State>()) {}

GlibMainLoop::~GlibMainLoop() {
  if (state_->heldSource != 0) g_source_remove(state_->heldSource);
  if (state_->queueSource != 0) g_source_remove(state_->queueSource);
  g_main_loop_unref(loop_);
}

std::unique_ptr<Timer> GlibMainLoop::scheduleRepeating(double intervalSeconds,
                                                       std::function<void()> callback) {
  auto timer = std::make_shared<RepeatingTimerState>();
  timer->callback = std::move(callback);
  auto* data = new TimerSourceData{timer, state_};
  timer->source = g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds(intervalSeconds),
                                     onRepeatingTimer, data, freeTimerSource);
  return std::make_unique<GlibTimer>(std::move(timer));
}

void GlibMainLoop::callAfter(double delaySeconds, std::function<void()> callback) {
  g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds(delaySeconds), onOneShot,
                     new OneShot{std::move(callback), state_}, freeOneShot);
}

void GlibMainLoop::terminate() {
  state_->ending = true;
  g_main_loop_quit(loop_);  // also wakes a waitUntil() blocked in an iteration
}

void GlibMainLoop::enterModal() { state_->gate.enter(); }

void GlibMainLoop::leaveModal() {
  if (state_->gate.leave() && state_->heldSource == 0) {
    state_->heldSource = g_idle_add_full(G_PRIORITY_DEFAULT, onHeldPass,
                                         new std::weak_ptr<State>(state_), freeWeakState);
  }
}

void GlibMainLoop::run() {
  if (!state_->ending) g_main_loop_run(loop_);
}

void GlibMainLoop::runCommand(std::function<void()> command) {
  runOrQueue(state_, std::move(command));
}

bool GlibMainLoop::waitUntil(const std::function<bool()>& answered) {
  ++state_->waits;
  while (!answered() && !state_->ending) g_main_context_iteration(nullptr, TRUE);
  --state_->waits;
  scheduleQueue(state_);
  return answered();
}

}  // namespace kestrine::linux_desktop
