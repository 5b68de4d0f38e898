#include "search/walk.h"

#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/records.h"
#include "output/listing.h"
#include "search/walk_ahead.h"
#include "search/walked_set.h"

namespace {

// A longer path keeps its first 75 characters and gets "...".
void FillPendingHeader(const std::string& path) {
  const size_t kShownColumns = 75;
  size_t length = std::min(path.size(), kShownColumns);
  memcpy(gListing.pendingHeader, path.data(), length);
  strcpy(gListing.pendingHeader + length, path.size() > kShownColumns ? "..." : "");
}

// The directory's own matches, in listing order, under its path.
void ListMatches(WalkNode* node) {
  size_t count = MatchCount(node);
  if (count > 0) FillPendingHeader(PathOf(node));
  for (size_t i = 0; i < count; ++i) {
    const FindEntry* entry = AwaitMatch(node, i);
    if (entry) PrintEntry(*entry);
  }
}

// The start directory is searched however it was reached.  Below it, a
// directory reached again through a link or mount is listed where it
// appears but walked only once, so link cycles and webs end.
bool EntersDirectory(WalkedSet* walked, const WalkNode* node, const WalkNode* parent) {
  const DirectoryFacts& facts = FactsOf(node);
  return FactsLetTheWalkEnter(facts, FactsOf(parent)) &&
         AddToWalkedSet(walked, DirectoryIdentity(facts.volume, facts.file));
}

}  // namespace

// The walk keeps its levels on the heap, so a tree of any depth costs no
// stack.
void WalkTree(Directory* start, const DirectoryFacts& facts, const ThreadPlan& plan) {
  std::unique_ptr<WalkedSet> walked(new WalkedSet);
  WalkNode* root = StartWalkAhead(start, facts, plan);
  AddToWalkedSet(walked.get(), DirectoryIdentity(facts.volume, facts.file));
  ListMatches(root);
  std::vector<WalkNode*> levels{root};
  while (!levels.empty()) {
    WalkNode* parent = levels.back();
    WalkNode* child = NextSubdirectory(parent);
    if (!child) {
      LeaveDirectory(parent);
      levels.pop_back();
    } else if (AwaitOpened(child) && EntersDirectory(walked.get(), child, parent)) {
      AwaitRead(child);
      ListMatches(child);
      levels.push_back(child);
    } else {
      DeclineDirectory(child);
    }
  }
}
