// Content tests that run ahead of the listing on worker threads.  The walk
// queues each candidate file in listing order; the workers open and search
// them; the main thread prints the results in that same order, so the
// output is byte for byte that of a single thread.  Work ahead is bounded,
// so memory stays flat and a pager waiting at its prompt holds the
// workers back after a window of files.
#ifndef TROVIX_SEARCH_LOOKAHEAD_H_
#define TROVIX_SEARCH_LOOKAHEAD_H_

#include "platform/platform.h"

// The workers to start: TROVIX_THREADS when set, else one per usable
// processor, at most 16.  1 means none: the main thread tests every file
// itself.  A setting that is not a whole number from 1 up is named on
// standard error and the default is used.
int WorkerThreadCount();
// Reads a plain decimal number from 1 up, cut to the most workers there
// may be; false for anything else.
bool ReadThreadCount(const char* text, int* count);

// Starts that many workers, when more than one; fewer where the limit on
// open files is low.
void StartLookahead(int workers);
bool LookaheadIsOn();

// Queues an entry of the current directory, whose pending header is in
// gListing.  Prints earlier results when the window is full.
void QueueContentTest(const FindEntry& entry);
// The walk has left the directory whose entries were queued last.
void EndContentDirectory();
// Prints every result still queued.
void FinishLookahead();

#endif  // TROVIX_SEARCH_LOOKAHEAD_H_
