#include "platform/fake/fake_platform.h"

namespace kestrine::fake {

FakePlatform::FakePlatform(FakeOptions options)
    : record(options.keepRecord),
      loop(options.start, &record),
      clock(loop, options.utcOffsetSeconds),
      statusBar(&record),
      alerts(&loop, &record),
      notifier(&record),
      power(&record),
      tools(&loop, &record),
      user(options.userName),
      home(options.home),
      console(&record),
      platform_{
          .statusBar = statusBar,
          .alerts = alerts,
          .notifier = notifier,
          .mainLoop = loop,
          .power = power,
          .clock = clock,
          .home = home,
          .console = console,
          .oneTimeSetup = &setup,
      } {}

}  // namespace kestrine::fake
