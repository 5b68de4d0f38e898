#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>

#include <new>

#include "platform/thread.h"

namespace {

// Workers keep every buffer on the heap, so a small stack is plenty, and it
// does not depend on the stack limit of the main thread (ulimit -s).
const size_t kWorkerStackBytes = 256 * 1024;

struct ThreadStart {
  void (*body)(void*);
  void* argument;
};

void* RunThread(void* start) {
  ThreadStart begun = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  begun.body(begun.argument);
  return nullptr;
}

}  // namespace

bool StartThread(void (*body)(void* argument), void* argument) {
  ThreadStart* start = new ThreadStart{body, argument};
  pthread_attr_t attributes;
  pthread_t thread;
  bool started = pthread_attr_init(&attributes) == 0 &&
                 pthread_attr_setstacksize(&attributes, kWorkerStackBytes) == 0 &&
                 pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                 pthread_create(&thread, &attributes, RunThread, start) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) delete start;
  return started;
}

// The processors the scheduler lets this process use (taskset, cpusets),
// not all those the machine has.
int UsableProcessors() {
  cpu_set_t usable;
  if (sched_getaffinity(0, sizeof usable, &usable) != 0) return 1;
  int count = CPU_COUNT(&usable);
  return count > 0 ? count : 1;
}

namespace {

// Waits shorter than this are for locks, not for the storage.
const long long kLongestLockWaitMicroseconds = 100;

long long Microseconds(const timeval& time) {
  return static_cast<long long>(time.tv_sec) * 1000000 + time.tv_usec;
}

long long NowMicroseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void ReadMeter(WaitMeter* meter) {
  struct rusage usage;
  if (getrusage(RUSAGE_THREAD, &usage) != 0) usage = {};
  meter->waits = usage.ru_nvcsw;
  meter->processorMicroseconds = Microseconds(usage.ru_utime) + Microseconds(usage.ru_stime);
  meter->startedMicroseconds = NowMicroseconds();
}

}  // namespace

void StartWaitMeter(WaitMeter* meter) { ReadMeter(meter); }

bool HasWaited(const WaitMeter& meter) {
  WaitMeter now;
  ReadMeter(&now);
  long long passed = now.startedMicroseconds - meter.startedMicroseconds;
  long long worked = now.processorMicroseconds - meter.processorMicroseconds;
  return now.waits != meter.waits && passed - worked >= kLongestLockWaitMicroseconds;
}
