#include "platform/linux/main_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrine::linux_desktop {
namespace {

// Dispatches what is ready now, without waiting.
void drain() {
  for (int i = 0; i < 10; ++i) g_main_context_iteration(nullptr, FALSE);
}

// Runs the default context for `ms` milliseconds of wall time.
void spin(int ms) {
  const gint64 end = g_get_monotonic_time() + ms * 1000;
  while (g_get_monotonic_time() < end) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
}

// Also with one alert over another: only the outermost close releases.
TEST(GlibMainLoop, PassesHeldWhileModalRunOnceAfterwards) {
  GlibMainLoop loop;
  int passes = 0;
  auto timer = loop.scheduleRepeating(0.03, [&] { ++passes; });
  loop.enterModal();
  loop.enterModal();
  spin(100);  // several passes fall due
  loop.leaveModal();
  drain();
  EXPECT_EQ(passes, 0);
  loop.leaveModal();
  EXPECT_EQ(passes, 0) << "the held pass runs from the loop, not inside leaveModal";
  drain();
  EXPECT_EQ(passes, 1);
}

gboolean setFlag(gpointer flag) {
  *static_cast<bool*>(flag) = true;
  return G_SOURCE_REMOVE;
}

// A pass that waits for an answer (a GLib source, as a D-Bus reply is): the
// loop is served, a pass falling due is skipped, and commands and one-shot
// calls made meanwhile run after the pass, in order, once each.
TEST(GlibMainLoop, WhileAPassWaitsCommandsWaitForItsEndAndPassesAreSkipped) {
  GlibMainLoop loop;
  std::vector<std::string> log;
  int passes = 0;
  bool answered = false;
  auto timer = loop.scheduleRepeating(0.02, [&] { ++passes; });
  loop.runCommand([&] {
    log.push_back("pass starts");
    g_timeout_add(100, setFlag, &answered);
    loop.callAfter(0.01, [&] { log.push_back("one-shot"); });
    loop.runCommand([&] { log.push_back("command"); });
    EXPECT_TRUE(loop.waitUntil([&] { return answered; }));
    log.push_back("pass ends");
  });
  EXPECT_EQ(passes, 0) << "passes that fell due during the wait are skipped";
  spin(60);
  EXPECT_EQ(log, (std::vector<std::string>{"pass starts", "pass ends", "command", "one-shot"}));
  EXPECT_GE(passes, 1);
  loop.runCommand([&] {
    loop.runCommand([&] { log.push_back("never"); });
    g_timeout_add(
        20,
        [](gpointer data) {
          static_cast<GlibMainLoop*>(data)->terminate();
          return G_SOURCE_REMOVE;
        },
        &loop);  // a signal handler, say
    EXPECT_FALSE(loop.waitUntil([] { return false; }));
  });
  spin(30);
  EXPECT_EQ(log.back(), "one-shot") << "nothing queued runs once the app ends";
}

}  // namespace
}  // namespace kestrine::linux_desktop
