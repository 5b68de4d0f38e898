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

long long Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

void StartWaitMeter(WaitMeter* meter) { meter->started = Now(); }

// Windows keeps no count of waits a thread can read cheaply: work of more
// than a few milliseconds is taken to have waited.
bool HasWaited(const WaitMeter& meter) {
  const long long kWaitedMilliseconds = 4;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return (Now() - meter.started) * 1000 > kWaitedMilliseconds * frequency.QuadPart;
}
