// The tree walk: the start directory and everything below it, depth-first,
// each directory's own matches before its subdirectories, each directory
// walked once.
#ifndef TROVIX_SEARCH_WALK_H_
#define TROVIX_SEARCH_WALK_H_

#include "platform/platform.h"
#include "search/thread_count.h"

// Walks the tree below the open start directory and lists its matches,
// with the threads planned doing the work ahead.
void WalkTree(Directory* start, const DirectoryFacts& facts, const ThreadPlan& plan);

#endif  // TROVIX_SEARCH_WALK_H_
