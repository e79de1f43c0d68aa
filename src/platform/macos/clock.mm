#include "platform/macos/clock.h"

#import <Foundation/Foundation.h>

namespace kestrine::macos {

WallTime MacClock::now() const { return [[NSDate date] timeIntervalSinceReferenceDate]; }

int MacClock::dayOfMonth(WallTime time) const {
  NSDate* date = [NSDate dateWithTimeIntervalSinceReferenceDate:time];
  NSDateComponents* parts = [[NSCalendar currentCalendar] components:NSCalendarUnitDay
                                                            fromDate:date];
  return static_cast<int>([parts day]);
}

}  // namespace kestrine::macos
