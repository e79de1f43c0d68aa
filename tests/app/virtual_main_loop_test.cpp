#include "platform/sim/virtual_main_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST_F(LoopTest, BusyMainThreadMakesALateTimerRunOnce) {
  auto timer = loop.scheduleRepeating(30.0, note("t"));
  loop.callAfter(10.0, [this] { loop.passTimeBlocked(100.0); });  // a slow tool
  loop.runUntil(150.0);
  EXPECT_THAT(ran, ElementsAre("t@110", "t@120", "t@150"));
}

}  // namespace
}  // namespace kestrine::sim
