#include "search/walk.h"

#include <string.h>

#include "common/records.h"
#include "output/listing.h"
#include "platform/platform.h"
#include "search/content_filter.h"

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
    if (gSettings.searchText)
      PrintEntryIfItContainsText(entry);
    else
      PrintEntry(entry);
  } while (FindNextEntry(matches, &entry));
  CloseEnumeration(matches);
}

void WalkTree() {
  // A directory reached again through a link or mount is listed where it
  // appears but walked only once, so link cycles and webs end.
  if (!ClaimCurrentDirectory()) return;
  ScanDirectory();
  FindEntry entry;
  Enumeration* children = FindFirstEntry("*.*", kNameAndKind, &entry);
  if (!children) return;
  do {
    if (!(entry.attributes & kDirectoryAttribute) || IsDotName(entry.name)) continue;
    if (!SetCurrentDir(entry.name)) continue;
    WalkTree();
    SetCurrentDir("..");
  } while (FindNextEntry(children, &entry));
  CloseEnumeration(children);
}
