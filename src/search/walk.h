// The tree walk.  The process's current directory is its only cursor: it
// enters each subdirectory by name and leaves it with "..".
#ifndef TROVIX_SEARCH_WALK_H_
#define TROVIX_SEARCH_WALK_H_

// Walks the current directory and everything below it, depth-first, to any
// depth.
void WalkTree();

// Hands on the current directory's own matches of the filespec.
void ScanDirectory();

#endif  // TROVIX_SEARCH_WALK_H_
