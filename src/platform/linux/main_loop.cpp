#include "platform/linux/main_loop.h"

#include <cmath>

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
  int waits = 0;  // nested waitUntil() calls
  bool ending = false;
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

void runHeldPass(GlibMainLoop::State& loop);

gboolean onHeldPass(gpointer data) {
  auto* weak = static_cast<std::weak_ptr<GlibMainLoop::State>*>(data);
  if (auto loop = weak->lock()) {
    loop->heldSource = 0;
    runHeldPass(*loop);
  }
  return G_SOURCE_REMOVE;
}

void runHeldPass(GlibMainLoop::State& loop) {
  auto timer = loop.held.lock();
  loop.held.reset();
  // An alert that closed while a daemon's answer is awaited: the held pass is
  // dropped like any pass of that time; the next one comes on schedule.
  if (!timer || !timer->callback || loop.waits > 0) return;
  // A new alert may have opened before the idle source ran; then the pass
  // waits for that one too.
  if (!loop.gate.admit()) {
    loop.held = timer;
    return;
  }
  auto callback = timer->callback;  // the pass may invalidate its own timer
  callback();
}

gboolean onRepeatingTimer(gpointer data) {
  auto* source = static_cast<TimerSourceData*>(data);
  auto timer = source->timer.lock();
  auto loop = source->loop.lock();
  if (!timer || !timer->callback || !loop) return G_SOURCE_REMOVE;
  if (loop->waits > 0) return G_SOURCE_CONTINUE;  // a daemon's answer is still awaited
  if (!loop->gate.admit()) {
    loop->held = timer;
    return G_SOURCE_CONTINUE;
  }
  auto callback = timer->callback;
  callback();
  return G_SOURCE_CONTINUE;
}

void freeTimerSource(gpointer data) { delete static_cast<TimerSourceData*>(data); }

gboolean onOneShot(gpointer data) {
  auto* callback = static_cast<std::function<void()>*>(data);
  (*callback)();
  return G_SOURCE_REMOVE;
}

void freeOneShot(gpointer data) { delete static_cast<std::function<void()>*>(data); }

void freeHeldPass(gpointer data) { delete static_cast<std::weak_ptr<GlibMainLoop::State>*>(data); }

}  // namespace

GlibMainLoop::GlibMainLoop()
    : loop_(g_main_loop_new(nullptr, FALSE)), state_(std::make_shared<State>()) {}

GlibMainLoop::~GlibMainLoop() {
  if (state_->heldSource != 0) g_source_remove(state_->heldSource);
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
                     new std::function<void()>(std::move(callback)), freeOneShot);
}

void GlibMainLoop::terminate() {
  state_->ending = true;
  g_main_loop_quit(loop_);  // also wakes a waitUntil() blocked in an iteration
}

void GlibMainLoop::enterModal() { state_->gate.enter(); }

void GlibMainLoop::leaveModal() {
  if (state_->gate.leave() && state_->heldSource == 0) {
    state_->heldSource = g_idle_add_full(G_PRIORITY_DEFAULT, onHeldPass,
                                         new std::weak_ptr<State>(state_), freeHeldPass);
  }
}

void GlibMainLoop::run() {
  if (!state_->ending) g_main_loop_run(loop_);
}

bool GlibMainLoop::waitUntil(const std::function<bool()>& answered) {
  ++state_->waits;
  while (!answered() && !state_->ending) g_main_context_iteration(nullptr, TRUE);
  --state_->waits;
  return answered();
}

}  // namespace kestrine::linux_desktop
