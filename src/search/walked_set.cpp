#include "search/walked_set.h"

#include <algorithm>

namespace {

const uint64_t kNumberBits = 48;
const size_t kMostPackedVolumes = 0xfffe;

// 0 when the identity does not pack; never 0 otherwise.  A volume not seen
// before joins the list.
uint64_t PackedId(WalkedSet* set, const DirectoryIdentity& id) {
  if (id.second >> kNumberBits != 0) return 0;
  size_t index = set->lastVolume;
  if (index >= set->volumes.size() || set->volumes[index] != id.first) {
    index = std::find(set->volumes.begin(), set->volumes.end(), id.first) - set->volumes.begin();
    if (index == set->volumes.size()) {
      if (index == kMostPackedVolumes) return 0;
      set->volumes.push_back(id.first);
    }
    set->lastVolume = index;
  }
  return (static_cast<uint64_t>(index + 1) << kNumberBits) | id.second;
}

uint64_t Scrambled(uint64_t key) { return key * 0x9E3779B97F4A7C15ULL; }

// The top bits of the scrambled key choose the part, lower ones the slot.
WalkedPart& PartOf(WalkedSet* set, uint64_t key) {
  return set->parts[Scrambled(key) >> (64 - kWalkedPartBits)];
}

size_t SlotOf(const std::vector<uint64_t>& slots, uint64_t key) {
  size_t mask = slots.size() - 1;
  size_t slot = static_cast<size_t>(Scrambled(key) >> 20) & mask;
  while (slots[slot] != 0 && slots[slot] != key) slot = (slot + 1) & mask;
  return slot;
}

void GrowPart(WalkedPart* part) {
  std::vector<uint64_t> old(part->slots.empty() ? 16 : part->slots.size() * 2, 0);
  old.swap(part->slots);
  for (uint64_t key : old)
    if (key != 0) part->slots[SlotOf(part->slots, key)] = key;
}

}  // namespace

bool AddToWalkedSet(WalkedSet* set, const DirectoryIdentity& id) {
  uint64_t key = PackedId(set, id);
  if (key == 0) {
    if (!set->unpacked.insert(id).second) return false;
  } else {
    WalkedPart& part = PartOf(set, key);
    if ((part.count + 1) * 4 > part.slots.size() * 3) GrowPart(&part);
    uint64_t& slot = part.slots[SlotOf(part.slots, key)];
    if (slot == key) return false;
    slot = key;
    ++part.count;
  }
  return true;
}
