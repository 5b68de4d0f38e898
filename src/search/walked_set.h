// The directories a run has walked, so that each is walked once however
// many links and mounts lead to it.  A run may walk millions: the set packs
// each identity into 8 bytes where it can.
#ifndef TROVIX_SEARCH_WALKED_SET_H_
#define TROVIX_SEARCH_WALKED_SET_H_

#include <stddef.h>
#include <stdint.h>

#include <set>
#include <utility>
#include <vector>

// A directory's identity: the volume it lies on and its number there.
typedef std::pair<uint64_t, uint64_t> DirectoryIdentity;

// Most identities share a few volumes, so one packs into 8 bytes of an
// open-addressed table: the volume's place in a short list and a number
// below 2^48.  The rare identity that does not fit goes to a plain set.
// The table is split in parts that grow one at a time, so a growing part's
// old and new slots are never the size of the whole.
const int kWalkedPartBits = 6;
const size_t kWalkedParts = size_t{1} << kWalkedPartBits;

struct WalkedPart {
  std::vector<uint64_t> slots;  // a power of two of them; 0 where unused
  size_t count = 0;
};

struct WalkedSet {
  std::vector<uint64_t> volumes;
  size_t lastVolume = 0;  // where the previous lookup found its volume
  WalkedPart parts[kWalkedParts];
  std::set<DirectoryIdentity> unpacked;
};

// Adds the directory; false when it is in the set already.
bool AddToWalkedSet(WalkedSet* set, const DirectoryIdentity& id);

#endif  // TROVIX_SEARCH_WALKED_SET_H_
