#include <time.h>

#include <algorithm>

#include "platform/local_time.h"

void LastWriteToLocal(uint64_t fileTime, CalendarTime* local) {
  *local = CalendarTime{0, 0, 0, 0, 0, 0};
  if (fileTime >= 0x8000000000000000ULL) return;
  time_t when = static_cast<time_t>(fileTime / 10000000) - 11644473600LL;
  struct tm fields;
  if (!localtime_r(&when, &fields)) return;
  long year = fields.tm_year + 1900L;
  if (year < 1601 || year > 30827) return;
  *local = CalendarTime{static_cast<unsigned>(year),
                        static_cast<unsigned>(fields.tm_mon + 1),
                        static_cast<unsigned>(fields.tm_mday),
                        static_cast<unsigned>(fields.tm_hour),
                        static_cast<unsigned>(fields.tm_min),
                        static_cast<unsigned>(std::min(fields.tm_sec, 59))};
}
