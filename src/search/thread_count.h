// How many threads work ahead of the walk.
#ifndef TROVIX_SEARCH_THREAD_COUNT_H_
#define TROVIX_SEARCH_THREAD_COUNT_H_

// How many threads work on a run, the main thread among them, and how many
// of them at once.
struct ThreadPlan {
  int threads;
  // As many at work as there are processors, and more while the work is
  // seen to wait for the storage; else all of them.
  bool matchTheWork;
};

// TROVIX_THREADS threads, all at work, when it is set: 1 means none beside
// the main thread, which then does all the work itself.  Else up to 32,
// matched to the work.  A setting that is not a whole number from 1 up is
// named on standard error, and the default used.
ThreadPlan PlanThreads();

// Reads a plain decimal number from 1 up, cut to the most threads there
// may be; false for anything else.
bool ReadThreadCount(const char* text, int* count);

#endif  // TROVIX_SEARCH_THREAD_COUNT_H_
