#include "platform/fake/virtual_main_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrine::fake {
namespace {

using ::testing::ElementsAre;

// What ran, with the loop's time: "name@time".
class LoopTest : public ::testing::Test {
 protected:
  std::function<void()> note(std::string name) {
    return
        [this, name] { ran.push_back(name + "@" + std::to_string(static_cast<int>(loop.now()))); };
  }
  VirtualMainLoop loop{0.0};
  std::vector<std::string> ran;
};

TEST_F(LoopTest, BusyMainThreadMakesALateTimerRunOnce) {
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  loop.callAfter(10.0, [this] { loop.passTimeBlocked(100.0); });  // a slow tool
  loop.runUntil(150.0);
  EXPECT_THAT(ran, ElementsAre("t@110", "t@120", "t@150"));
}

// As on the Mac: one-shot calls run while an alert is open, and the passes
// that fell due meanwhile come back as one, after the alert's callback.
TEST_F(LoopTest, AnOpenAlertRunsOneShotCallsAndKeepsOnePassBack) {
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  loop.callAfter(1.0, [this] { loop.passTimeModal(100.0); });
  loop.callAfter(50.0, note("once"));
  loop.runUntil(130.0);
  EXPECT_THAT(ran, ElementsAre("once@50", "t@101", "t@120"));
}

// Time is counted in whole microseconds: a tenth of a second added ten times
// is exactly one second, also far from the reference date, and a time
// beyond the clock's range neither wraps nor leaves a timer running forever.
TEST(VirtualTime, StaysOnItsGridAndStopsAtItsLimit) {
  for (const WallTime start : {786384000.0, 3.0e12}) {
    VirtualMainLoop loop{start};
    int passes = 0;
    auto timer = loop.scheduleRepeating(0.1, [&] { ++passes; });
    loop.runFor(1.0);
    EXPECT_EQ(passes, 10) << start;
    EXPECT_EQ(loop.nowTicks(), ticksFromSeconds(start) + kTicksPerSecond) << start;
    loop.passTimeBlocked(1e300);
    loop.runFor(1.0);
    EXPECT_EQ(passes, 11) << start;
    EXPECT_EQ(loop.pendingCount(), 0u) << start;
  }
}

}  // namespace
}  // namespace kestrine::fake
