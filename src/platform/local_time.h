// Last write times as the local calendar shows them.
#ifndef TROVIX_PLATFORM_LOCAL_TIME_H_
#define TROVIX_PLATFORM_LOCAL_TIME_H_

#include <stdint.h>

// Local calendar fields; all zero when the time cannot be converted.
struct CalendarTime {
  unsigned year, month, day, hour, minute, second;
};

// The offset from UTC is the one in force at that instant, not today's.
void LastWriteToLocal(uint64_t fileTime, CalendarTime* local);

#endif  // TROVIX_PLATFORM_LOCAL_TIME_H_
