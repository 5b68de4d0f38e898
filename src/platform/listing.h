// The entries of one directory, read once per visit, and what each entry
// is: its name and kind, and on demand its size and last write time.
#ifndef TROVIX_PLATFORM_LISTING_H_
#define TROVIX_PLATFORM_LISTING_H_

#include <stddef.h>
#include <stdint.h>

struct Directory;
struct Listing;

const uint32_t kDirectoryAttribute = 0x10;

// One directory entry as the listing gives it.
struct FindEntry {
  uint32_t attributes;     // kDirectoryAttribute for a directory
  uint64_t lastWriteTime;  // 100-ns ticks since 1601-01-01 UTC
  uint64_t size;           // in bytes
  const char* name;        // held by the listing
};

// How much of an entry to fill: the name and kind alone spare a stat per
// entry where the platform can tell the kind without one.
enum EntryDetail { kNameAndKind, kFullDetail };

// Reads a held directory's entries, "." and ".." left out, in the order in
// which Windows gives them on NTFS.  Null when it cannot be read.
Listing* ReadListing(Directory* directory);
void FreeListing(Listing* listing);

size_t ListingSize(const Listing* listing);
// The name as it is shown and matched.
const char* ListingName(const Listing* listing, size_t index);

// Whether the entry is a directory, or a link to one.
bool IsListedDirectory(Directory* directory, const Listing* listing, size_t index);

// Fills the entry of a held directory; false when it is gone since the
// listing was read.  A link shows its target's size and time, a dangling
// link its own.
bool DescribeEntry(Directory* directory, const Listing* listing, size_t index,
                   EntryDetail detail, FindEntry* entry);

#endif  // TROVIX_PLATFORM_LISTING_H_
