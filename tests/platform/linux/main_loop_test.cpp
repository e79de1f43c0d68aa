#include "platform/linux/main_loop.h"

#include <gtest/gtest.h>

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

TEST(GlibMainLoop, PassesHeldWhileModalRunOnceAfterwards) {
  GlibMainLoop loop;
  int passes = 0;
  auto timer = loop.scheduleRepeating(0.03, [&] { ++passes; });
  loop.enterModal();
  spin(100);  // several passes fall due
  EXPECT_EQ(passes, 0);
  loop.leaveModal();
  EXPECT_EQ(passes, 0) << "the held pass runs from the loop, not inside leaveModal";
  drain();
  EXPECT_EQ(passes, 1);
}

TEST(GlibMainLoop, HeldPassOfAnInvalidatedTimerDoesNotRun) {
  GlibMainLoop loop;
  int passes = 0;
  auto timer = loop.scheduleRepeating(0.02, [&] { ++passes; });
  loop.enterModal();
  spin(60);
  timer.reset();
  loop.leaveModal();
  spin(30);
  EXPECT_EQ(passes, 0);
}

TEST(GlibMainLoop, OneShotCallsAreNotHeldBackAndRunOnce) {
  GlibMainLoop loop;
  std::vector<int> order;
  loop.enterModal();
  loop.callAfter(0.02, [&] { order.push_back(2); });
  loop.callAfter(0.0, [&] { order.push_back(1); });
  spin(80);
  loop.leaveModal();
  spin(20);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(GlibMainLoop, WaitServesTheLoopSkipsPassesAndEndsOnTerminate) {
  GlibMainLoop loop;
  int passes = 0;
  bool answered = false;
  auto timer = loop.scheduleRepeating(0.02, [&] { ++passes; });
  loop.callAfter(0.1, [&] { answered = true; });
  EXPECT_TRUE(loop.waitUntil([&] { return answered; }));
  EXPECT_EQ(passes, 0) << "passes that fell due during the wait are skipped";
  spin(60);
  EXPECT_GE(passes, 1);
  timer->invalidate();
  const int stopped = passes;
  spin(60);
  EXPECT_EQ(passes, stopped) << "an invalidated timer stays stopped";
  loop.callAfter(0.02, [&] { loop.terminate(); });
  EXPECT_FALSE(loop.waitUntil([] { return false; }));
}

}  // namespace
}  // namespace kestrine::linux_desktop
