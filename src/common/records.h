// The process-wide records every part of a run reads or writes.
#ifndef TROVIX_COMMON_RECORDS_H_
#define TROVIX_COMMON_RECORDS_H_

#include <stdint.h>

// The run's settings, filled from the command line.  The texts point into
// the argument vector (startPath may be the constant "\"); foldedText is
// the upper-cased copy of searchText that a case-insensitive search uses.
struct SearchSettings {
  const char* startPath;
  const char* fileSpec;
  const char* searchText;
  char* foldedText;
  bool caseSensitive;
  bool caseInsensitive;
  bool pause;
};

const int kHeaderSize = 260;

// The listing's running state.  pendingHeader holds the path of the
// directory whose first listed entry has not yet been printed, or "".
struct ListingState {
  uint32_t foundCount;
  char pendingHeader[kHeaderSize];
};

extern SearchSettings gSettings;
extern ListingState gListing;

#endif  // TROVIX_COMMON_RECORDS_H_
