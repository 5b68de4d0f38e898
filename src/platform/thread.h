// Worker threads: each starts detached, on a small stack of its own.
#ifndef TROVIX_PLATFORM_THREAD_H_
#define TROVIX_PLATFORM_THREAD_H_

// Starts a thread that runs body(argument) and is never joined.  False
// when the system refuses one more thread (a limit on tasks, no memory for
// a stack): the caller goes on with the threads it has, or with none.
bool StartThread(void (*body)(void* argument), void* argument);

// How many processors this process may run on; at least 1.
int UsableProcessors();

#endif  // TROVIX_PLATFORM_THREAD_H_
