// Directory listings over POSIX, in the order NTFS gives: one pass of
// large reads, then a sort on the names as Windows compares them.
#include "platform/listing.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/directory_posix.h"
#include "platform/dos_names.h"

struct Listing {
  struct Slot {
    uint64_t sortPrefix;  // most comparisons end here, without reading names
    uint32_t offset;      // into names
    unsigned char type;   // as the directory gave it (d_type)
  };
  std::string names;  // every name followed by a NUL
  std::vector<Slot> slots;
};

namespace {

bool IsDotName(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

uint32_t AttributesOf(bool directory, bool regular) {
  return directory ? kDirectoryAttribute : regular ? kNormalAttribute : kDeviceAttribute;
}

// Each thread reads into a buffer of its own, on the heap: a stack may be
// as small as its limit allows (ulimit -s).
const size_t kReadBytes = 32768;

char* ReadBuffer() {
  thread_local std::unique_ptr<uint64_t[]> words;
  if (!words) words.reset(new uint64_t[kReadBytes / sizeof(uint64_t)]);
  return reinterpret_cast<char*>(words.get());
}

void SortAsNtfs(Listing* listing) {
  const char* base = listing->names.data();
  std::sort(listing->slots.begin(), listing->slots.end(),
            [base](const Listing::Slot& a, const Listing::Slot& b) {
              if (a.sortPrefix != b.sortPrefix) return a.sortPrefix < b.sortPrefix;
              return NameSortsBefore(base + a.offset, base + b.offset);
            });
}

}  // namespace

Listing* ReadListing(Directory* directory) {
  int handle = HeldDescriptor(directory);
  char* buffer = ReadBuffer();
  std::unique_ptr<Listing> listing(new Listing);
  bool readSome = false;
  for (;;) {
    ssize_t got = getdents64(handle, buffer, kReadBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0 && !readSome) return nullptr;
      break;
    }
    readSome = true;
    for (ssize_t at = 0; at < got;) {
      const dirent64* item = reinterpret_cast<const dirent64*>(buffer + at);
      at += item->d_reclen;
      if (IsDotName(item->d_name)) continue;
      listing->slots.push_back({NameSortPrefix(item->d_name),
                                static_cast<uint32_t>(listing->names.size()), item->d_type});
      listing->names.append(item->d_name, strlen(item->d_name) + 1);
    }
  }
  SortAsNtfs(listing.get());
  return listing.release();
}

void FreeListing(Listing* listing) { delete listing; }

size_t ListingSize(const Listing* listing) { return listing->slots.size(); }

const char* ListingName(const Listing* listing, size_t index) {
  return listing->names.data() + listing->slots[index].offset;
}

bool IsListedDirectory(Directory* directory, const Listing* listing, size_t index) {
  unsigned char type = listing->slots[index].type;
  if (type != DT_LNK && type != DT_UNKNOWN) return type == DT_DIR;
  struct stat info;
  return fstatat(HeldDescriptor(directory), ListingName(listing, index), &info, 0) == 0 &&
         S_ISDIR(info.st_mode);
}

// Size and time come from a link's target; a dangling link shows its own.
bool DescribeEntry(Directory* directory, const Listing* listing, size_t index,
                   EntryDetail detail, FindEntry* entry) {
  const char* name = ListingName(listing, index);
  unsigned char type = listing->slots[index].type;
  entry->name = name;
  if (detail == kNameAndKind && type != DT_LNK && type != DT_UNKNOWN) {
    entry->attributes = AttributesOf(type == DT_DIR, type == DT_REG);
    entry->lastWriteTime = 0;
    entry->size = 0;
    return true;
  }
  int handle = HeldDescriptor(directory);
  struct stat info;
  if (fstatat(handle, name, &info, 0) != 0 && fstatat(handle, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  entry->attributes = AttributesOf(S_ISDIR(info.st_mode), S_ISREG(info.st_mode));
  entry->lastWriteTime = ToFileTime(info.st_mtim);
  entry->size = static_cast<uint64_t>(info.st_size);
  return true;
}
