// Directories over POSIX, shaped to give what their Win32 counterparts give
// on NTFS.  The walk's current directory is a stack of open directory
// handles, one per level below the directory last entered by path: names
// are read, stat-ed and opened through the handle, and ".." pops it, so the
// process's own current directory never changes.
#include "platform/directory.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/directory_posix.h"
#include "platform/dos_names.h"
#include "platform/output.h"

uint64_t ToFileTime(const timespec& when) {
  const int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const int64_t kTicksPerSecond = 10000000;
  if (when.tv_sec < -kSecondsFrom1601To1970 ||
      when.tv_sec > INT64_MAX / kTicksPerSecond - kSecondsFrom1601To1970 - 1)
    return kUnconvertibleTime;
  return static_cast<uint64_t>((when.tv_sec + kSecondsFrom1601To1970) * kTicksPerSecond +
                               when.tv_nsec / 100);
}

namespace {

// ---------------------------------------------------------------------------
// Directory listings

// One directory read once: its names in NTFS order with their d_type.
struct Listing {
  struct Slot {
    uint64_t sortPrefix;  // most comparisons end here, without reading names
    uint32_t offset;      // into names
    unsigned char type;
  };
  std::string names;  // every name followed by a NUL
  std::vector<Slot> slots;
};

bool IsDotName(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Reads the directory through its handle from the start, in one pass of
// large reads.  Null when it cannot be read at all.
std::shared_ptr<const Listing> ReadListing(int handle) {
  // On the heap: the stack may be as small as the limit allows (ulimit -s).
  const size_t kBufferBytes = 32768;
  std::unique_ptr<uint64_t[]> words(new uint64_t[kBufferBytes / sizeof(uint64_t)]);
  char* buffer = reinterpret_cast<char*>(words.get());
  auto listing = std::make_shared<Listing>();
  bool readSome = false;
  for (;;) {
    ssize_t got = getdents64(handle, buffer, kBufferBytes);
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
  const char* base = listing->names.data();
  std::sort(listing->slots.begin(), listing->slots.end(),
            [base](const Listing::Slot& a, const Listing::Slot& b) {
              if (a.sortPrefix != b.sortPrefix) return a.sortPrefix < b.sortPrefix;
              return NameSortsBefore(base + a.offset, base + b.offset);
            });
  return listing;
}

uint32_t AttributesOf(bool directory, bool regular) {
  return directory ? kDirectoryAttribute : regular ? kNormalAttribute : kDeviceAttribute;
}

// Size and time come from a link's target; a dangling link shows its own.
bool FillEntry(int directory, const char* name, unsigned char type, EntryDetail detail,
               FindEntry* entry) {
  size_t length = strlen(name);
  if (length >= sizeof entry->name) return false;
  memcpy(entry->name, name, length + 1);
  if (detail == kNameAndKind && type != DT_LNK && type != DT_UNKNOWN) {
    entry->attributes = AttributesOf(type == DT_DIR, type == DT_REG);
    entry->lastWriteTime = 0;
    entry->size = 0;
    return true;
  }
  struct stat info;
  if (fstatat(directory, name, &info, 0) != 0 &&
      fstatat(directory, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return false;  // gone since the directory was read
  entry->attributes = AttributesOf(S_ISDIR(info.st_mode), S_ISREG(info.st_mode));
  entry->lastWriteTime = ToFileTime(info.st_mtim);
  entry->size = static_cast<uint64_t>(info.st_size);
  return true;
}

// ---------------------------------------------------------------------------
// The walk cursor

struct DirectoryId {
  dev_t device;
  ino_t inode;
  bool operator==(const DirectoryId& other) const {
    return device == other.device && inode == other.inode;
  }
  bool operator<(const DirectoryId& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
};

// The directories walked so far; a run may walk millions.  Most share a
// few devices, so an identity packs into 8 bytes of an open-addressed
// table: the device's place in a short list and an inode below 2^48.  The
// rare identity that does not fit goes to a plain set.  The table is split
// in parts that grow one at a time, so a growing part's old and new slots
// are never the size of the whole.
const int kWalkedPartBits = 6;
const size_t kWalkedParts = size_t{1} << kWalkedPartBits;

struct WalkedPart {
  std::vector<uint64_t> slots;  // a power of two of them; 0 where unused
  size_t count = 0;
};

struct WalkedSet {
  std::vector<dev_t> devices;
  size_t lastDevice = 0;  // where the previous lookup found its device
  WalkedPart parts[kWalkedParts];
  size_t count = 0;
  std::set<DirectoryId> unpacked;
};

const uint64_t kInodeBits = 48;
const size_t kMostPackedDevices = 0xfffe;

// 0 when the identity does not pack; never 0 otherwise.
uint64_t PackedId(WalkedSet* set, const DirectoryId& id) {
  if (static_cast<uint64_t>(id.inode) >> kInodeBits != 0) return 0;
  size_t index = set->lastDevice;
  if (index >= set->devices.size() || set->devices[index] != id.device) {
    index = std::find(set->devices.begin(), set->devices.end(), id.device) - set->devices.begin();
    if (index == set->devices.size()) {
      if (index == kMostPackedDevices) return 0;
      set->devices.push_back(id.device);
    }
    set->lastDevice = index;
  }
  return (static_cast<uint64_t>(index + 1) << kInodeBits) | static_cast<uint64_t>(id.inode);
}

uint64_t Scrambled(uint64_t key) { return key * 0x9E3779B97F4A7C15ULL; }

// The top bits of the scrambled key choose the part, lower ones the slot.
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

// False when the directory is in the set already.
bool AddToWalkedSet(WalkedSet* set, const DirectoryId& id) {
  uint64_t key = PackedId(set, id);
  if (key == 0) {
    if (!set->unpacked.insert(id).second) return false;
  } else {
    WalkedPart& part = set->parts[Scrambled(key) >> (64 - kWalkedPartBits)];
    if ((part.count + 1) * 4 > part.slots.size() * 3) GrowPart(&part);
    uint64_t& slot = part.slots[SlotOf(part.slots, key)];
    if (slot == key) return false;
    slot = key;
    ++part.count;
  }
  ++set->count;
  return true;
}

bool WalkedNone(const WalkedSet& set) { return set.count == 0; }

// One directory on the way from the last directory entered by path down to
// the current one.
struct Level {
  int handle;         // -1 once closed to stay within the budget
  size_t pathLength;  // of the cursor's path at this level
  DirectoryId id;
  bool pseudo;        // on a kernel pseudo file system
  bool viaLink;       // entered through a symbolic link
  std::shared_ptr<const Listing> listing;  // once read
};

// Deep trees must walk with few descriptors: past this many open levels the
// shallowest handles are closed, and opened again on the way back up.  A
// low descriptor limit lowers it, to leave room for the files searched.
const size_t kMostOpenLevels = 24;

struct Cursor {
  std::string path;  // "/" or "/a/b", never a trailing "/"
  std::vector<Level> levels;
  size_t openLevels;
  size_t closedBelow;  // levels 0 to closedBelow - 1 have given up their handles
  // Set when a step up could not get back to the directory it left for:
  // nothing more is read or entered until a path is entered again.
  bool wayLost;
  WalkedSet walked;
  DirectoryId treeRoot;  // the first directory claimed
  std::unordered_map<dev_t, bool> pseudoDevices;
  size_t levelBudget = kMostOpenLevels;
};
Cursor gCursor;

bool IdentityOf(int handle, DirectoryId* id) {
  struct stat info;
  if (fstat(handle, &info) != 0) return false;
  *id = DirectoryId{info.st_dev, info.st_ino};
  return true;
}

// The handle, when its identity could be read; else -1, the handle closed.
int Identified(int handle, DirectoryId* id) {
  if (handle >= 0 && !IdentityOf(handle, id)) {
    close(handle);
    return -1;
  }
  return handle;
}

// The handle, when it is of the directory expected; else -1, the handle
// closed.
int IfSameDirectory(int handle, const DirectoryId& expected) {
  DirectoryId id;
  handle = Identified(handle, &id);
  if (handle >= 0 && !(id == expected)) {
    close(handle);
    return -1;
  }
  return handle;
}

int OpenDirectoryAt(int directory, const char* name, int flags = 0) {
  int handle;
  do {
    handle = openat(directory, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
  } while (handle < 0 && errno == EINTR);
  return EndRunIfOutOfDescriptors(handle);
}

// ".." and "." resolved by the text alone, as Windows resolves them.
std::string NormalizeLexically(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

// Opens a path, relative to a handle or absolute.  A path too long for one
// call is opened a component at a time, so no length limit applies.  Gives
// -1 when it cannot be opened.
int OpenPath(int from, const std::string& path) {
  const size_t kOneCall = 4000;
  if (!path.empty() && path.size() < kOneCall) return OpenDirectoryAt(from, path.c_str());
  int handle = OpenDirectoryAt(from, path[0] == '/' ? "/" : ".");
  size_t start = 0;
  while (handle >= 0 && start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      int next = OpenDirectoryAt(handle, path.substr(start, end - start).c_str());
      close(handle);
      handle = next;
    }
    start = end + 1;
  }
  return handle;
}

void CloseLevel(Level* level) {
  if (level->handle < 0) return;
  close(level->handle);
  level->handle = -1;
  --gCursor.openLevels;
}

void CloseAllLevels() {
  for (Level& level : gCursor.levels) CloseLevel(&level);
  gCursor.levels.clear();
}

// Keeps the open handles within the budget: the shallowest give theirs up
// first, the current directory's never.
void KeepWithinBudget() {
  while (gCursor.openLevels > gCursor.levelBudget && gCursor.closedBelow + 1 < gCursor.levels.size())
    CloseLevel(&gCursor.levels[gCursor.closedBelow++]);
}

// The cursor's one level: a directory reached by its path.
void StartLevelsAt(const std::string& path, int handle, const DirectoryId& id) {
  CloseAllLevels();
  gCursor.path = path;
  gCursor.levels.push_back(Level{handle, path.size(), id, false, false, nullptr});
  gCursor.openLevels = 1;
  gCursor.closedBelow = 0;
  gCursor.wayLost = false;
}

bool EnterPath(const char* path) {
  if (path[0] != '/' && gCursor.path.empty()) return false;
  std::string normal =
      NormalizeLexically(path[0] == '/' ? std::string(path) : gCursor.path + "/" + path);
  DirectoryId id;
  int handle = Identified(OpenPath(AT_FDCWD, normal), &id);
  if (handle < 0) return false;
  StartLevelsAt(normal, handle, id);
  return true;
}

// A link is told apart by the open that refuses to follow it.
bool EnterChild(const char* name) {
  if (gCursor.wayLost || gCursor.levels.back().handle < 0) return false;
  int parent = gCursor.levels.back().handle;
  bool viaLink = false;
  int handle = OpenDirectoryAt(parent, name, O_NOFOLLOW);
  if (handle < 0 && (errno == ELOOP || errno == ENOTDIR)) {
    handle = OpenDirectoryAt(parent, name);
    viaLink = handle >= 0;
  }
  DirectoryId id;
  handle = Identified(handle, &id);
  if (handle < 0) return false;
  if (gCursor.path != "/") gCursor.path += '/';
  gCursor.path += name;
  gCursor.levels.push_back(Level{handle, gCursor.path.size(), id, false, viaLink, nullptr});
  ++gCursor.openLevels;
  KeepWithinBudget();
  return true;
}

// Opens a closed level again: by ".." from the level below when that leads
// to the same directory, else along the logical path from the nearest open
// level above, or from the root.
bool ReopenLevel(size_t index) {
  Level& level = gCursor.levels[index];
  int handle = -1;
  if (index + 1 < gCursor.levels.size() && gCursor.levels[index + 1].handle >= 0)
    handle = IfSameDirectory(OpenDirectoryAt(gCursor.levels[index + 1].handle, ".."), level.id);
  if (handle < 0) {
    size_t open = index + 1;
    while (open > 0 && gCursor.levels[open - 1].handle < 0) --open;
    int from = open > 0 ? gCursor.levels[open - 1].handle : AT_FDCWD;
    size_t start = open > 0 ? gCursor.levels[open - 1].pathLength : 0;
    std::string relative = gCursor.path.substr(start, level.pathLength - start);
    if (open > 0 && !relative.empty() && relative[0] == '/') relative.erase(0, 1);
    handle = IfSameDirectory(OpenPath(from, relative), level.id);
  }
  if (handle < 0) return false;
  level.handle = handle;
  ++gCursor.openLevels;
  gCursor.closedBelow = std::min(gCursor.closedBelow, index);
  return true;
}

bool LeaveToParent() {
  if (gCursor.levels.size() < 2) {
    if (gCursor.path.empty()) return false;
    return EnterPath(NormalizeLexically(gCursor.path + "/..").c_str());
  }
  size_t parent = gCursor.levels.size() - 2;
  bool back = gCursor.levels[parent].handle >= 0 || ReopenLevel(parent);
  CloseLevel(&gCursor.levels.back());
  gCursor.levels.pop_back();
  gCursor.closedBelow = std::min(gCursor.closedBelow, gCursor.levels.size());
  gCursor.path.resize(gCursor.levels[parent].pathLength);
  gCursor.wayLost = !back;
  return back;
}

bool IsBareName(const char* path) {
  return strchr(path, '/') == nullptr && strcmp(path, ".") != 0;
}

// File systems of the kernel's own that hold no user files, only views of
// the running system, some with link webs that never end.
bool IsPseudoFileSystem(long type) {
  static const long kTypes[] = {
      0x9fa0,      // proc
      0x62656572,  // sysfs
      0x27e0eb,    // cgroup
      0x63677270,  // cgroup2
      0x64626720,  // debugfs
      0x74726163,  // tracefs
      0x73636673,  // securityfs
      static_cast<long>(0xcafe4a11),  // bpf
      0x6165676c,  // pstore
      0x62656570,  // configfs
      static_cast<long>(0xde5e81e4),  // efivarfs
      0x42494e4d,  // binfmt_misc
      0x65735543,  // fusectl
      0x1cd1,      // devpts
      0x19800202,  // mqueue
      0x6e736673,  // nsfs
      static_cast<long>(0xf97cff8c),  // selinuxfs
      0x43415d53,  // smackfs
  };
  for (long known : kTypes) {
    if (type == known) return true;
  }
  return false;
}

}  // namespace

bool IsOnKernelFileSystem(int handle) {
  struct statfs info;
  return fstatfs(handle, &info) == 0 && IsPseudoFileSystem(static_cast<long>(info.f_type));
}

namespace {

bool IsPseudo(const Level& level) {
  auto known = gCursor.pseudoDevices.find(level.id.device);
  if (known != gCursor.pseudoDevices.end()) return known->second;
  bool pseudo = IsOnKernelFileSystem(level.handle);
  gCursor.pseudoDevices[level.id.device] = pseudo;
  return pseudo;
}

// Climbs from the directory by ".." until it meets the start of the tree,
// or the root, which is its own parent.  Two handles at a time at most.
bool IsInsideTree(int directory, const DirectoryId& start) {
  DirectoryId id = start;
  int handle = -1;
  bool climbing = true;
  while (climbing && !(id == gCursor.treeRoot)) {
    int parent = OpenDirectoryAt(handle >= 0 ? handle : directory, "..");
    if (handle >= 0) close(handle);
    handle = parent;
    DirectoryId parentId;
    climbing = handle >= 0 && IdentityOf(handle, &parentId) && !(parentId == id);
    id = parentId;
  }
  if (handle >= 0) close(handle);
  return climbing;
}

}  // namespace

int EndRunIfOutOfDescriptors(int handle) {
  if (handle < 0 && (errno == EMFILE || errno == ENFILE))
    FailRun("out of file descriptors (ulimit -n)");
  if (handle < 0 && errno == ENOMEM) FailRun("out of memory");
  return handle;
}

size_t DescriptorLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > SIZE_MAX)
    return SIZE_MAX;
  return static_cast<size_t>(limit.rlim_cur);
}

int CurrentDirectoryHandle() {
  return gCursor.levels.empty() ? -1 : gCursor.levels.back().handle;
}

struct Enumeration {
  std::shared_ptr<const Listing> listing;
  DosPattern pattern;
  EntryDetail detail;
  size_t next;  // 0 and 1 stand for "." and "..", then the listing's slots
};

bool FindNextEntry(Enumeration* enumeration, FindEntry* entry) {
  static const char* const kDotNames[2] = {".", ".."};
  const Listing& listing = *enumeration->listing;
  while (enumeration->next < 2 + listing.slots.size()) {
    size_t index = enumeration->next++;
    const char* name;
    unsigned char type;
    EntryDetail detail = enumeration->detail;
    if (index < 2) {
      // Nobody lists "." or "..", so their names and kind are enough.
      name = kDotNames[index];
      type = DT_DIR;
      detail = kNameAndKind;
    } else {
      const Listing::Slot& slot = listing.slots[index - 2];
      name = listing.names.data() + slot.offset;
      type = slot.type;
    }
    if (MatchesDosPattern(enumeration->pattern, name) &&
        FillEntry(CurrentDirectoryHandle(), name, type, detail, entry))
      return true;
  }
  return false;
}

// The directory is read once per visit: its listing serves every
// enumeration until the walk leaves it.
Enumeration* FindFirstEntry(const char* pattern, EntryDetail detail, FindEntry* entry) {
  if (gCursor.levels.empty() || gCursor.wayLost) return nullptr;
  Level& here = gCursor.levels.back();
  if (!here.listing) {
    if (here.handle < 0) return nullptr;
    here.listing = ReadListing(here.handle);
    if (!here.listing) return nullptr;
  }
  Enumeration* enumeration = new Enumeration{here.listing, CompileDosPattern(pattern), detail, 0};
  if (!FindNextEntry(enumeration, entry)) {
    delete enumeration;
    return nullptr;
  }
  return enumeration;
}

void CloseEnumeration(Enumeration* enumeration) { delete enumeration; }

bool SetCurrentDir(const char* path) {
  if (!path || !*path) return false;
  // "\" is the root only as a start path: once a walk has begun, every
  // name is a subdirectory's, and here a directory may be called "\".
  if (strcmp(path, "\\") == 0 && WalkedNone(gCursor.walked)) return EnterPath("/");
  if (strcmp(path, "..") == 0) return LeaveToParent();
  if (IsBareName(path) && !gCursor.levels.empty()) return EnterChild(path);
  return EnterPath(path);
}

void GetCurrentDir(char* buffer, size_t size) {
  if (size == 0) return;
  size_t length = std::min(gCursor.path.size(), size - 1);
  memcpy(buffer, gCursor.path.data(), length);
  buffer[length] = '\0';
}

// The start directory is searched however it was reached.  Below it, a
// link to a directory inside the tree is listed but not entered: the
// directory is walked where it stands, so each file shows once, under its
// real path.
bool ClaimCurrentDirectory() {
  if (gCursor.levels.empty() || gCursor.wayLost) return false;
  Level& here = gCursor.levels.back();
  if (here.handle < 0) return false;
  here.pseudo = IsPseudo(here);
  if (WalkedNone(gCursor.walked)) {
    gCursor.treeRoot = here.id;
  } else {
    size_t depth = gCursor.levels.size();
    bool parentPseudo = depth >= 2 && gCursor.levels[depth - 2].pseudo;
    if (here.pseudo && depth >= 2 && !parentPseudo) return false;
    // Links in /proc and /sys lead everywhere (/proc/self/root to the root,
    // /sys/class into /sys/devices): they are listed, never followed.
    if (here.viaLink && parentPseudo) return false;
    if (here.viaLink && IsInsideTree(here.handle, here.id)) return false;
  }
  return AddToWalkedSet(&gCursor.walked, here.id);
}

namespace {

// The logical path the shell gives in $PWD, when it names this directory,
// as Windows keeps the path the user went through.
std::string StartingDirectory() {
  struct stat here, there;
  const char* pwd = getenv("PWD");
  if (pwd && pwd[0] == '/' && NormalizeLexically(pwd) == pwd && stat(".", &here) == 0 &&
      stat(pwd, &there) == 0 && here.st_dev == there.st_dev && here.st_ino == there.st_ino)
    return pwd;
  char* physical = getcwd(nullptr, 0);
  std::string path = physical ? physical : "";
  free(physical);
  return path;
}

}  // namespace

size_t OpenLevelBudget() { return gCursor.levelBudget; }

void InitCurrentDirectory() {
  // Besides the standard three, a step may hold two more handles at once
  // (a file searched: the handle it was looked at by and the one it is read
  // by; a climb: a parent and its parent) beside the current directory's.
  const size_t kKeptForSteps = 3 + 2;
  size_t limit = DescriptorLimit();
  size_t room = limit > kKeptForSteps ? limit - kKeptForSteps : 0;
  gCursor.levelBudget = std::max<size_t>(1, std::min({kMostOpenLevels, limit / 4, room}));
  std::string path = StartingDirectory();
  DirectoryId id;
  int handle = Identified(openat(AT_FDCWD, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC), &id);
  if (handle >= 0)
    StartLevelsAt(path, handle, id);
  else
    gCursor.path = path;
}
