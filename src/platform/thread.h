// Worker threads: each starts detached, on a small stack of its own.
#ifndef TROVIX_PLATFORM_THREAD_H_
#define TROVIX_PLATFORM_THREAD_H_

#include <mutex>

// Starts a thread that runs body(argument) and is never joined.  False
// when the system refuses one more thread (a limit on tasks, no memory for
// a stack): the caller goes on with the threads it has, or with none.
bool StartThread(void (*body)(void* argument), void* argument);

// How many processors this process may run on; at least 1.
int UsableProcessors();

// Takes a lock that is only ever held for moments: a thread that finds it
// held tries again for a while before it sleeps, since sleeping and being
// woken cost far more than such a wait.
void LockBriefly(std::mutex* lock);

// Tells whether a stretch of a thread's work had to wait for the system (a
// disk, a network share) rather than compute: where the system counts the
// times a thread gave the processor up to wait, by that count and by the
// time that passed beyond the processor time the thread used, so that a
// moment's wait for a lock does not count; else by how long the work took.
struct WaitMeter {
  long waits;
  long long processorMicroseconds;
  long long startedMicroseconds;
};
void StartWaitMeter(WaitMeter* meter);
bool HasWaited(const WaitMeter& meter);

#endif  // TROVIX_PLATFORM_THREAD_H_
