#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/local_time.h"

// Through UTC calendar fields, so the bias in force at that instant
// applies: FileTimeToLocalFileTime would apply today's daylight-saving
// bias to every date and show a summer file an hour off in winter.
void LastWriteToLocal(uint64_t fileTime, CalendarTime* local) {
  *local = CalendarTime{0, 0, 0, 0, 0, 0};
  FILETIME utcTime;
  utcTime.dwLowDateTime = static_cast<DWORD>(fileTime);
  utcTime.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  SYSTEMTIME utc, fields;
  if (!FileTimeToSystemTime(&utcTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &fields))
    return;
  *local = CalendarTime{fields.wYear, fields.wMonth, fields.wDay,
                        fields.wHour, fields.wMinute, fields.wSecond};
}
