#include "platform/sim/virtual_main_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/virtual_clock.h"
#include "ui/modal_alerts.h"

namespace kestrine::sim {
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

TEST_F(LoopTest, RunsByDueTimeThenBySchedulingOrder) {
  loop.callAfter(2.0, note("b"));
  loop.callAfter(1.0, note("a"));
  loop.callAfter(2.0, note("c"));
  auto timer = loop.scheduleRepeating(2.0, note("t"));
  loop.runUntil(2.0);
  EXPECT_THAT(ran, ElementsAre("a@1", "b@2", "c@2", "t@2"));
  EXPECT_EQ(loop.now(), 2.0);
}

TEST_F(LoopTest, RepeatingTimerFirstFiresOneIntervalAfterSchedulingUntilStopped) {
  loop.runFor(5.0);
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  loop.runFor(29.0);
  EXPECT_TRUE(ran.empty());
  loop.runFor(61.0);
  EXPECT_THAT(ran, ElementsAre("t@35", "t@65", "t@95"));
  timer->invalidate();
  loop.runFor(100.0);
  EXPECT_EQ(ran.size(), 3U);
  EXPECT_EQ(loop.activeTimerCount(), 0U);
}

TEST_F(LoopTest, DestroyingTheTimerStopsIt) {
  auto timer = loop.scheduleRepeating(10.0, note("t"));
  loop.runFor(10.0);
  timer.reset();
  loop.runFor(50.0);
  EXPECT_THAT(ran, ElementsAre("t@10"));
}

TEST_F(LoopTest, BusyMainThreadMakesALateTimerRunOnce) {
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  loop.callAfter(10.0, [this] { loop.passTimeBlocked(100.0); });  // a slow tool
  loop.runUntil(150.0);
  EXPECT_THAT(ran, ElementsAre("t@110", "t@120", "t@150"));
}

TEST_F(LoopTest, ModalHoldsPassesBackAndRunsOneAfterTheCallbackReturns) {
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  loop.callAfter(10.0, [this] {
    loop.enterModal();
    loop.passTimeModal(65.0);  // passes at 30 and 60 fall due meanwhile
    loop.leaveModal();
    ran.push_back("callback returns");
  });
  loop.runUntil(100.0);
  EXPECT_THAT(ran, ElementsAre("callback returns", "t@75", "t@90"));
}

TEST_F(LoopTest, NestedModalsDeferUntilTheOutermostCloses) {
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  loop.callAfter(10.0, [this] {
    loop.enterModal();
    loop.passTimeModal(30.0);  // the inner one closes at 40, the outer is still open
    ran.push_back("inner closed");
    loop.passTimeModal(5.0);
    loop.leaveModal();
  });
  loop.runUntil(50.0);
  EXPECT_THAT(ran, ElementsAre("inner closed", "t@45"));
}

TEST_F(LoopTest, OneShotCallsRunInsideAModal) {
  loop.callAfter(1.0, [this] {
    loop.callAfter(2.0, note("inside"));
    loop.passTimeModal(5.0);
    ran.push_back("closed");
  });
  loop.runUntil(10.0);
  EXPECT_THAT(ran, ElementsAre("inside@3", "closed"));
}

TEST_F(LoopTest, ModalAlertsHoldTheLoopWhileTheAlertIsOpen) {
  struct SlowAlerts final : Alerts {
    VirtualMainLoop& loop;
    explicit SlowAlerts(VirtualMainLoop& l) : loop(l) {}
    int runModal(const Alert&) override {
      loop.passTimeBlocked(45.0);  // the user reads; the loop only tracks time
      return kAlertSecondButton;
    }
  } slow(loop);
  ModalAlerts alerts(slow, loop);
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  int answer = 0;
  loop.callAfter(1.0, [&] { answer = alerts.runModal(Alert{}); });
  loop.runUntil(70.0);
  EXPECT_EQ(answer, kAlertSecondButton);
  // The pass due at 30 ran late at 46, once, after the alert; then back on the grid.
  EXPECT_THAT(ran, ElementsAre("t@46", "t@60"));
  EXPECT_FALSE(loop.isModal());
}

TEST_F(LoopTest, TerminateStopsAfterTheCurrentCallback) {
  auto timer = loop.scheduleRepeating(1.0, note("t"));
  loop.callAfter(2.5, [this] {
    loop.terminate();
    ran.push_back("finishing");
  });
  loop.runUntil(10.0);
  EXPECT_THAT(ran, ElementsAre("t@1", "t@2", "finishing"));
  EXPECT_TRUE(loop.isTerminated());
  EXPECT_FALSE(loop.step());
  EXPECT_EQ(loop.now(), 2.5);
}

TEST(VirtualClockTest, DayOfMonthInTheLocalCalendar) {
  struct Case {
    WallTime time;
    int offset;
    int day;
  };
  for (const Case& c : {
           Case{0.0, 0, 1},  // 2001-01-01 00:00 UTC
           Case{-1.0, 0, 31},
           Case{wallTimeFromCivil(2026, 1, 31, 23, 59, 59.5), 0, 31},
           Case{wallTimeFromCivil(2026, 2, 1, 0, 0, 0.0), 0, 1},
           Case{wallTimeFromCivil(2024, 2, 29, 12, 0, 0.0), 0, 29},
           Case{wallTimeFromCivil(2026, 3, 14, 23, 30, 0.0), 3600, 15},
           Case{wallTimeFromCivil(2026, 3, 14, 0, 30, 0.0), -3600, 13},
           Case{wallTimeFromCivil(2026, 3, 15, 0, 30, 0.0, 3600), 3600, 15},
       }) {
    EXPECT_EQ(dayOfMonthAt(c.time, c.offset), c.day) << c.time << " " << c.offset;
  }
  VirtualMainLoop loop(wallTimeFromCivil(2026, 12, 31, 23, 59, 30.0));
  VirtualClock clock(loop);
  EXPECT_EQ(clock.dayOfMonth(clock.now()), 31);
  loop.runFor(30.0);
  EXPECT_EQ(clock.dayOfMonth(clock.now()), 1);
}

}  // namespace
}  // namespace kestrine::sim
