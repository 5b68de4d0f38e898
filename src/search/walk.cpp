#include "search/walk.h"

#include <string.h>

#include <vector>

#include "common/records.h"
#include "output/listing.h"
#include "platform/platform.h"
#include "search/content_filter.h"
#include "search/lookahead.h"

namespace {

bool IsDotName(const char* name) {
  return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// A longer path keeps its first 75 characters and gets "...".
void FillPendingHeader() {
  const size_t kShownColumns = 75;
  GetCurrentDir(gListing.pendingHeader, sizeof gListing.pendingHeader);
  if (strlen(gListing.pendingHeader) > kShownColumns)
    memcpy(gListing.pendingHeader + kShownColumns, "...", 4);
}

}  // namespace

void ScanDirectory() {
  // With a search text most matches are never listed, and those that are
  // get their size and time when the content filter opens them.
  EntryDetail detail = gSettings.searchText ? kNameAndKind : kFullDetail;
  FindEntry entry;
  Enumeration* matches = FindFirstEntry(gSettings.fileSpec, detail, &entry);
  if (!matches) return;
  FillPendingHeader();
  do {
    if (IsDotName(entry.name)) continue;
    if (!gSettings.searchText)
      PrintEntry(entry);
    else if (LookaheadIsOn())
      QueueContentTest(entry);
    else
      PrintEntryIfItContainsText(entry);
  } while (FindNextEntry(matches, &entry));
  CloseEnumeration(matches);
  EndContentDirectory();
}

namespace {

// One directory on the way down from the start: the enumeration of its
// entries and the entry it has come to.  The walk keeps them on the heap,
// so a tree of any depth costs no stack.
struct WalkLevel {
  Enumeration* children;
  FindEntry entry;
};

// Lists the current directory's matches and opens the enumeration of its
// subdirectories as the deepest level; false when there is nothing below
// it to walk.  A directory reached again through a link or mount is listed
// where it appears but walked only once, so link cycles and webs end.
bool OpenLevel(std::vector<WalkLevel>* levels) {
  if (!ClaimCurrentDirectory()) return false;
  ScanDirectory();
  WalkLevel level;
  level.children = FindFirstEntry("*.*", kNameAndKind, &level.entry);
  if (!level.children) return false;
  levels->push_back(level);
  return true;
}

// Moves the deepest level on to its next entry, in that level's directory.
// A level that has none left is closed, and the walk goes back up to move
// its parent on.
void AdvanceLevels(std::vector<WalkLevel>* levels) {
  while (!levels->empty() && !FindNextEntry(levels->back().children, &levels->back().entry)) {
    CloseEnumeration(levels->back().children);
    levels->pop_back();
    if (!levels->empty()) SetCurrentDir("..");
  }
}

bool IsSubdirectory(const FindEntry& entry) {
  return (entry.attributes & kDirectoryAttribute) && !IsDotName(entry.name);
}

}  // namespace

void WalkTree() {
  std::vector<WalkLevel> levels;
  if (!OpenLevel(&levels)) return;
  while (!levels.empty()) {
    const FindEntry& entry = levels.back().entry;
    bool entered = IsSubdirectory(entry) && SetCurrentDir(entry.name);
    if (entered && OpenLevel(&levels)) continue;
    if (entered) SetCurrentDir("..");
    AdvanceLevels(&levels);
  }
}
