// The platform operations over POSIX and Linux, shaped to give what their
// Win32 counterparts give on NTFS.
#include "platform/platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/dos_names.h"

const bool kSlashMayStartPath = true;

namespace {

const uint32_t kNormalAttribute = 0x80;
// What Windows marks a device: neither a file nor a directory (a FIFO, a
// socket, a device node, a dangling link).  Such an entry is never opened.
const uint32_t kDeviceAttribute = 0x40;

// ---------------------------------------------------------------------------
// Directory listings

// One directory read once: its names in NTFS order with their d_type.
struct Listing {
  struct Slot {
    uint32_t offset;  // into names
    unsigned char type;
  };
  std::string names;  // every name followed by a NUL
  std::vector<Slot> slots;
};

std::shared_ptr<const Listing> ReadCurrentDirectory() {
  auto listing = std::make_shared<Listing>();
  DIR* dir = opendir(".");
  if (!dir) return nullptr;
  while (const dirent* item = readdir(dir)) {
    const char* name = item->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
      continue;
    listing->slots.push_back(
        {static_cast<uint32_t>(listing->names.size()), item->d_type});
    listing->names.append(name, strlen(name) + 1);
  }
  closedir(dir);
  const char* base = listing->names.data();
  std::sort(listing->slots.begin(), listing->slots.end(),
            [base](const Listing::Slot& a, const Listing::Slot& b) {
              return NameSortsBefore(base + a.offset, base + b.offset);
            });
  return listing;
}

// Changes with every change of the current directory, so a listing read
// here can serve the next enumeration of the same directory.
uint64_t gDirectoryGeneration = 1;
std::shared_ptr<const Listing> gCachedListing;
uint64_t gCachedGeneration = 0;

std::shared_ptr<const Listing> ListCurrentDirectory() {
  if (!gCachedListing || gCachedGeneration != gDirectoryGeneration) {
    gCachedListing = ReadCurrentDirectory();
    gCachedGeneration = gDirectoryGeneration;
  }
  return gCachedListing;
}

const uint64_t kUnconvertibleTime = ~static_cast<uint64_t>(0);

uint64_t ToFileTime(const timespec& when) {
  const int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const int64_t kTicksPerSecond = 10000000;
  if (when.tv_sec < -kSecondsFrom1601To1970 ||
      when.tv_sec > INT64_MAX / kTicksPerSecond - kSecondsFrom1601To1970 - 1)
    return kUnconvertibleTime;
  return static_cast<uint64_t>((when.tv_sec + kSecondsFrom1601To1970) * kTicksPerSecond +
                               when.tv_nsec / 100);
}

// Size and time come from a link's target; a dangling link shows its own.
bool FillEntry(const char* name, unsigned char type, EntryDetail detail,
               FindEntry* entry) {
  size_t length = strlen(name);
  if (length >= sizeof entry->name) return false;
  memcpy(entry->name, name, length + 1);
  if (detail == kNameAndKind && type != DT_LNK && type != DT_UNKNOWN) {
    entry->attributes = type == DT_DIR   ? kDirectoryAttribute
                        : type == DT_REG ? kNormalAttribute
                                         : kDeviceAttribute;
    entry->lastWriteTime = 0;
    entry->size = 0;
    return true;
  }
  struct stat info;
  if (fstatat(AT_FDCWD, name, &info, 0) != 0 &&
      fstatat(AT_FDCWD, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return false;  // gone since the directory was read
  entry->attributes = S_ISDIR(info.st_mode)   ? kDirectoryAttribute
                      : S_ISREG(info.st_mode) ? kNormalAttribute
                                              : kDeviceAttribute;
  entry->lastWriteTime = ToFileTime(info.st_mtim);
  entry->size = static_cast<uint64_t>(info.st_size);
  return true;
}

}  // namespace

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
        FillEntry(name, type, detail, entry))
      return true;
  }
  return false;
}

Enumeration* FindFirstEntry(const char* pattern, EntryDetail detail,
                            FindEntry* entry) {
  std::shared_ptr<const Listing> listing = ListCurrentDirectory();
  if (!listing) return nullptr;
  Enumeration* enumeration =
      new Enumeration{listing, CompileDosPattern(pattern), detail, 0};
  if (!FindNextEntry(enumeration, entry)) {
    delete enumeration;
    return nullptr;
  }
  return enumeration;
}

void CloseEnumeration(Enumeration* enumeration) { delete enumeration; }

// ---------------------------------------------------------------------------
// The logical current directory

namespace {

struct DirectoryId {
  dev_t device;
  ino_t inode;
  bool operator==(const DirectoryId& other) const {
    return device == other.device && inode == other.inode;
  }
};

struct DirectoryIdHash {
  size_t operator()(const DirectoryId& id) const {
    return std::hash<uint64_t>()(static_cast<uint64_t>(id.inode) * 0x9E3779B97F4A7C15ULL ^
                                 static_cast<uint64_t>(id.device));
  }
};

// One directory on the way from the last directory entered by full path
// down to the current one.
struct Level {
  size_t pathLength;  // of gLogicalPath at this level
  DirectoryId id;
  bool pseudo;        // on a kernel pseudo file system
  bool viaLink;       // entered through a symbolic link
};

std::string gLogicalPath;  // "/" or "/a/b", never a trailing "/"
std::vector<Level> gLevels;
// Set when a step up could reach neither the directory it left for nor its
// path: the process then stands in some other directory, where a name would
// lead somewhere that the logical path does not name.
bool gWayLost = false;
std::unordered_set<DirectoryId, DirectoryIdHash> gWalked;
// The start directory's physical path, once the walk has claimed it.
std::string gTreeRoot;
std::unordered_map<dev_t, bool> gPseudoDevices;

DirectoryId CurrentDirectoryId() {
  struct stat info;
  if (stat(".", &info) != 0) return DirectoryId{0, 0};
  return DirectoryId{info.st_dev, info.st_ino};
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

// chdir() refuses paths of PATH_MAX bytes or more, so a deep path is
// entered a piece at a time.
bool ChangeDirectoryByPath(const std::string& path) {
  const size_t kPiece = 3072;
  if (path.size() < kPiece) return chdir(path.c_str()) == 0;
  if (chdir("/") != 0) return false;
  size_t start = 1;
  while (start < path.size()) {
    size_t end = start + kPiece;
    if (end >= path.size()) {
      end = path.size();
    } else {
      end = path.rfind('/', end);
      if (end == std::string::npos || end <= start) return false;
    }
    if (chdir(path.substr(start, end - start).c_str()) != 0) return false;
    start = end + 1;
  }
  return true;
}

void CommitChange() {
  ++gDirectoryGeneration;
}

bool EnterPath(const char* path) {
  std::string target = path[0] == '/' ? std::string(path) : gLogicalPath + "/" + path;
  if (path[0] != '/' && gLogicalPath.empty()) return false;
  std::string normal = NormalizeLexically(target);
  if (!ChangeDirectoryByPath(normal)) {
    if (!gLogicalPath.empty()) ChangeDirectoryByPath(gLogicalPath);
    return false;
  }
  gLogicalPath = normal;
  gLevels.assign(1, Level{normal.size(), CurrentDirectoryId(), false, false});
  gWayLost = false;
  CommitChange();
  return true;
}

bool EnterChild(const char* name) {
  struct stat link;
  bool viaLink = lstat(name, &link) == 0 && S_ISLNK(link.st_mode);
  if (gWayLost || chdir(name) != 0) return false;
  if (gLogicalPath != "/") gLogicalPath += '/';
  gLogicalPath += name;
  gLevels.push_back(Level{gLogicalPath.size(), CurrentDirectoryId(), false, viaLink});
  CommitChange();
  return true;
}

// Goes back to the level above.  A plain chdir("..") is right unless the
// directory was entered through a link or a mount; then the parent is
// entered again by its logical path.
bool LeaveToParent() {
  if (gLevels.size() < 2) {
    if (gLogicalPath.empty()) return false;
    return EnterPath(NormalizeLexically(gLogicalPath + "/..").c_str());
  }
  const Level& parent = gLevels[gLevels.size() - 2];
  bool back = chdir("..") == 0 && CurrentDirectoryId() == parent.id;
  if (!back) back = ChangeDirectoryByPath(gLogicalPath.substr(0, parent.pathLength));
  gLevels.pop_back();
  gLogicalPath.resize(parent.pathLength);
  gWayLost = !back;
  CommitChange();
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

std::string PhysicalCurrentDir() {
  char* path = getcwd(nullptr, 0);
  std::string physical = path ? path : "";
  free(path);
  return physical;
}

bool IsInsideTree(const std::string& path) {
  if (gTreeRoot.empty() || path.empty()) return false;
  if (gTreeRoot == "/") return true;
  return path.compare(0, gTreeRoot.size(), gTreeRoot) == 0 &&
         (path.size() == gTreeRoot.size() || path[gTreeRoot.size()] == '/');
}

bool CurrentDirectoryIsPseudo(dev_t device) {
  auto known = gPseudoDevices.find(device);
  if (known != gPseudoDevices.end()) return known->second;
  struct statfs info;
  bool pseudo = statfs(".", &info) == 0 && IsPseudoFileSystem(static_cast<long>(info.f_type));
  gPseudoDevices[device] = pseudo;
  return pseudo;
}

}  // namespace

bool SetCurrentDir(const char* path) {
  if (!path || !*path) return false;
  // "\" is the root only as a start path: once a walk has begun, every
  // name is a subdirectory's, and here a directory may be called "\".
  if (strcmp(path, "\\") == 0 && gWalked.empty()) return EnterPath("/");
  if (strcmp(path, "..") == 0) return LeaveToParent();
  if (IsBareName(path)) return EnterChild(path);
  return EnterPath(path);
}

void GetCurrentDir(char* buffer, size_t size) {
  if (size == 0) return;
  size_t length = std::min(gLogicalPath.size(), size - 1);
  memcpy(buffer, gLogicalPath.data(), length);
  buffer[length] = '\0';
}

// The start directory is searched however it was reached.  Below it, a
// link to a directory inside the tree is listed but not entered: the
// directory is walked where it stands, so each file shows once, under its
// real path.
bool ClaimCurrentDirectory() {
  if (gLevels.empty()) return false;
  Level& here = gLevels.back();
  here.pseudo = CurrentDirectoryIsPseudo(here.id.device);
  if (gWalked.empty()) {
    gTreeRoot = PhysicalCurrentDir();
  } else {
    if (here.pseudo && gLevels.size() >= 2 && !gLevels[gLevels.size() - 2].pseudo)
      return false;
    if (here.viaLink && IsInsideTree(PhysicalCurrentDir())) return false;
  }
  return gWalked.insert(here.id).second;
}

// ---------------------------------------------------------------------------
// Files

namespace {

// The file the content filter has open and its size when opened.  A read
// that comes back short once that size is reached has met the end of the
// file, so the read that would give 0 to say so is spared: most files
// searched fit in one block.
struct OpenFile {
  int fd;
  off_t size;
  off_t consumed;
  bool ended;
};
OpenFile gOpenFile = {-1, 0, 0, false};

}  // namespace

FileHandle OpenEntryForReading(FindEntry* entry) {
  // Opening a device can block or act, and a FIFO or socket holds no
  // content; the enumeration has already told them apart.
  if (entry->attributes != kNormalAttribute) return kNoFile;
  int fd = open(entry->name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  // The name may have been replaced since the directory was read.
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return kNoFile;
  }
  entry->lastWriteTime = ToFileTime(info.st_mtim);
  entry->size = static_cast<uint64_t>(info.st_size);
  gOpenFile = OpenFile{fd, info.st_size, 0, false};
  return fd;
}

size_t ReadFileBlock(FileHandle file, void* block, size_t size) {
  const bool known = file == gOpenFile.fd;
  if (known && gOpenFile.ended) return 0;
  ssize_t got;
  do {
    got = read(static_cast<int>(file), block, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return 0;
  if (known) {
    gOpenFile.consumed += got;
    // A size of 0 is what kernel files such as /proc/kallsyms report, and
    // they hand out a page at a time: only a read of nothing ends them.
    gOpenFile.ended = static_cast<size_t>(got) < size && gOpenFile.size > 0 &&
                      gOpenFile.consumed >= gOpenFile.size;
  }
  return static_cast<size_t>(got);
}

void CloseFile(FileHandle file) {
  if (file == gOpenFile.fd) gOpenFile.fd = -1;
  close(static_cast<int>(file));
}

// ---------------------------------------------------------------------------
// Time

void LastWriteToLocal(uint64_t fileTime, CalendarTime* local) {
  *local = CalendarTime{0, 0, 0, 0, 0, 0};
  if (fileTime >= 0x8000000000000000ULL) return;
  time_t when = static_cast<time_t>(fileTime / 10000000) - 11644473600LL;
  struct tm fields;
  if (!localtime_r(&when, &fields)) return;
  long year = fields.tm_year + 1900L;
  if (year < 1601 || year > 30827) return;
  *local = CalendarTime{static_cast<unsigned>(year),
                        static_cast<unsigned>(fields.tm_mon + 1),
                        static_cast<unsigned>(fields.tm_mday),
                        static_cast<unsigned>(fields.tm_hour),
                        static_cast<unsigned>(fields.tm_min),
                        static_cast<unsigned>(std::min(fields.tm_sec, 59))};
}

// ---------------------------------------------------------------------------
// Output

namespace {

bool gOutputIsTerminal = false;

// A reader that went away ends the run the way it ends any filter, by
// SIGPIPE; any other failure to write is reported, never a quiet success.
[[noreturn]] void FailOutput(int error) {
  if (error == EPIPE) {
    signal(SIGPIPE, SIG_DFL);
    raise(SIGPIPE);
  } else {
    fprintf(stderr, "trovix: cannot write standard output: %s\n", strerror(error));
  }
  _exit(255);
}

}  // namespace

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = vfprintf(stdout, format, args);
  va_end(args);
  if (result >= 0 && gOutputIsTerminal) result = fflush(stdout);
  if (result < 0) FailOutput(errno);
}

void EndProcess(int status) {
  if (fflush(stdout) != 0) FailOutput(errno);
  exit(status);
}

// ---------------------------------------------------------------------------

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

void InitPlatform() {
  gOutputIsTerminal = isatty(STDOUT_FILENO) != 0;
  if (!gOutputIsTerminal) setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  gLogicalPath = StartingDirectory();
  gLevels.assign(1, Level{gLogicalPath.size(), CurrentDirectoryId(), false, false});
}
