// What threads do the same way on every system.
#include "platform/thread.h"

namespace {

// Tells the processor the thread is waiting in a loop, which spares the
// other thread of the same core.
#if defined(__i386__) || defined(__x86_64__)
inline void RelaxProcessor() { __builtin_ia32_pause(); }
#else
inline void RelaxProcessor() {}
#endif

// Some microseconds: longer than any of the moments the lock is held for.
const int kTries = 256;

}  // namespace

void LockBriefly(std::mutex* lock) {
  for (int i = 0; i < kTries; ++i) {
    if (lock->try_lock()) return;
    RelaxProcessor();
  }
  lock->lock();
}
