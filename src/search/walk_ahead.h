// Work done ahead of the walk.  Directories are opened and read, their
// matches described and, with a search text, searched, by worker threads
// with many requests in flight, while the main thread takes every decision
// of the walk in its order and prints.  What the workers do is bounded by a
// window of directories and entries ahead of the walk, so memory stays
// flat and a pager waiting at its prompt holds the work back.  Without
// workers, the main thread does each piece of work itself when it comes to
// it.
#ifndef TROVIX_SEARCH_WALK_AHEAD_H_
#define TROVIX_SEARCH_WALK_AHEAD_H_

#include <stddef.h>

#include <string>

#include "platform/platform.h"
#include "search/thread_count.h"

// A directory of the walk.
struct WalkNode;

// What the walk's rules tell from a directory's facts and its parent's
// alone: kernel pseudo file systems are entered only from inside one, and
// never through a link that lies in one; a link to a directory inside the
// tree is listed but not entered, the directory being walked where it
// stands.  The walk decides by it, with the walked-once rule on top; the
// work ahead guesses by it which directories the walk will enter.
bool FactsLetTheWalkEnter(const DirectoryFacts& facts, const DirectoryFacts& parent);

// Starts the work at the walk's start directory, already open, on the
// threads planned, of which the system may refuse some; the work in each
// directory is to match the filespec and, with a text, search.
WalkNode* StartWalkAhead(Directory* start, const DirectoryFacts& facts, const ThreadPlan& plan);

// The next subdirectory of a directory the walk has entered, in listing
// order, or null after the last; the walk asks once it has listed the
// directory's matches.
WalkNode* NextSubdirectory(WalkNode* parent);
// Opens the directory unless a worker has; false when it cannot be entered.
bool AwaitOpened(WalkNode* node);
const DirectoryFacts& FactsOf(const WalkNode* node);
// The walk enters the directory: its listing is read unless a worker has.
void AwaitRead(WalkNode* node);
const std::string& PathOf(const WalkNode* node);

size_t MatchCount(const WalkNode* node);
// The match with its size and time once its work is done, or null when it
// is not listed: it is gone, or does not hold the search text.
const FindEntry* AwaitMatch(WalkNode* node, size_t index);

// The walk has left the directory, everything below it walked.
void LeaveDirectory(WalkNode* node);
// The walk does not enter the directory: the work done ahead below it is
// dropped.
void DeclineDirectory(WalkNode* node);

#endif  // TROVIX_SEARCH_WALK_AHEAD_H_
