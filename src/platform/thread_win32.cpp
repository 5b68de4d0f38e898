#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/thread.h"

namespace {

// Workers keep every buffer on the heap, so a small stack is plenty.
const SIZE_T kWorkerStackBytes = 256 * 1024;

struct ThreadStart {
  void (*body)(void*);
  void* argument;
};

DWORD WINAPI RunThread(LPVOID start) {
  ThreadStart begun = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  begun.body(begun.argument);
  return 0;
}

}  // namespace

bool StartThread(void (*body)(void* argument), void* argument) {
  ThreadStart* start = new ThreadStart{body, argument};
  HANDLE thread = CreateThread(nullptr, kWorkerStackBytes, RunThread, start,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!thread) {
    delete start;
    return false;
  }
  CloseHandle(thread);
  return true;
}

int UsableProcessors() {
  DWORD_PTR process, system;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  int count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

namespace {

long long NowMicroseconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return now.QuadPart / frequency.QuadPart * 1000000 +
         now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

long long TicksToMicroseconds(const FILETIME& time) {
  return (static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 10;
}

void ReadMeter(WaitMeter* meter) {
  FILETIME created, ended, kernel, user;
  meter->processorMicroseconds = 0;
  if (GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user))
    meter->processorMicroseconds = TicksToMicroseconds(kernel) + TicksToMicroseconds(user);
  meter->startedMicroseconds = NowMicroseconds();
}

}  // namespace

void StartWaitMeter(WaitMeter* meter) { ReadMeter(meter); }

// Windows counts a thread's processor time by the tick of its clock, some
// 16 ms: work is taken to have waited when the time that passed exceeds the
// time it computed by more than two ticks.
bool HasWaited(const WaitMeter& meter) {
  const long long kTwoTicksMicroseconds = 32000;
  WaitMeter now;
  ReadMeter(&now);
  long long passed = now.startedMicroseconds - meter.startedMicroseconds;
  long long worked = now.processorMicroseconds - meter.processorMicroseconds;
  return passed - worked > kTwoTicksMicroseconds;
}
