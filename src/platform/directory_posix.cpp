// Directories over POSIX.  Each directory of the walk is a descriptor,
// opened once below its parent's; names are read, stat-ed and opened
// through it, so the process's own current directory never changes.  All
// the descriptors the process opens are counted against its limit on open
// files: when the count reaches it, the directories opened longest ago that
// nobody holds give their descriptors up (the shallowest, on a deep walk),
// and are opened again by their paths when work comes back to them.
#include "platform/directory.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/directory_posix.h"
#include "platform/kernel_files_posix.h"
#include "platform/listing.h"
#include "platform/output.h"
#include "platform/thread.h"

struct Directory {
  std::string path;  // "/" or "/a/b", never a trailing "/"
  dev_t device;
  ino_t inode;
  std::atomic<int> fd;  // -1 while given up
  // Work in progress in it, or -1 while its descriptor is being given up.
  std::atomic<int> holds;
  // Among the open directories, in the order they were opened.
  Directory* newer;
  Directory* older;
};

namespace {

// The descriptors of the process and the walk's tree, shared by every
// thread.  Never freed: a thread may still use it while the process ends.
struct DirectoryHandles {
  std::mutex lock;       // over the list of open directories and giving them up
  std::mutex reopening;  // one directory opened again at a time
  std::atomic<size_t> budget{SIZE_MAX};  // descriptors the walk may have open at once
  std::atomic<size_t> taken{0};
  Directory* newest = nullptr;
  Directory* oldest = nullptr;
  dev_t rootDevice = 0;  // the start of the tree
  ino_t rootInode = 0;
  std::string startingDirectory;
};
DirectoryHandles* gHandles = new DirectoryHandles;

// Called with the lock held.
void Unlink(Directory* directory) {
  DirectoryHandles& handles = *gHandles;
  (directory->newer ? directory->newer->older : handles.newest) = directory->older;
  (directory->older ? directory->older->newer : handles.oldest) = directory->newer;
  directory->newer = directory->older = nullptr;
}

// Called with the lock held.
void LinkAsNewest(Directory* directory) {
  DirectoryHandles& handles = *gHandles;
  directory->newer = nullptr;
  directory->older = handles.newest;
  (handles.newest ? handles.newest->newer : handles.oldest) = directory;
  handles.newest = directory;
}

// Gives up the descriptor of the oldest open directory nobody holds; false
// when every one is held.  Called with the lock held.
bool GiveUpOne() {
  for (Directory* directory = gHandles->oldest; directory; directory = directory->newer) {
    int unheld = 0;
    if (!directory->holds.compare_exchange_strong(unheld, -1)) continue;
    Unlink(directory);
    close(directory->fd.exchange(-1));
    gHandles->taken.fetch_sub(1);
    directory->holds.store(0);
    return true;
  }
  return false;
}

int OpenDirectoryAt(int directory, const char* name, int flags = 0) {
  return OpenAtOrEndRun(directory, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
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

// Whether a relative path has ".." among its parts.
bool HasParentStep(const std::string& path) {
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find('/', start), path.size());
    if (path.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

// Opens an absolute path.  A path too long for one call is opened a
// component at a time, so no length limit applies; that holds two
// descriptors at a time.  Gives -1 when it cannot be opened.
int OpenPath(const std::string& path) {
  const size_t kOneCall = 4000;
  if (path.size() < kOneCall) return OpenDirectoryAt(AT_FDCWD, path.c_str());
  int handle = OpenDirectoryAt(AT_FDCWD, "/");
  size_t start = 1;
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

bool IdentityOf(int handle, dev_t* device, ino_t* inode) {
  struct stat info;
  if (fstat(handle, &info) != 0) return false;
  *device = info.st_dev;
  *inode = info.st_ino;
  return true;
}

// Climbs from the directory by ".." until it meets the start of the tree,
// or the root, which is its own parent.
bool IsInsideTree(int directory, dev_t device, ino_t inode) {
  const DirectoryHandles& handles = *gHandles;
  TakeDescriptors(2);
  int handle = -1;
  bool climbing = true;
  while (climbing && !(device == handles.rootDevice && inode == handles.rootInode)) {
    int parent = OpenDirectoryAt(handle >= 0 ? handle : directory, "..");
    if (handle >= 0) close(handle);
    handle = parent;
    dev_t parentDevice = 0;
    ino_t parentInode = 0;
    climbing = handle >= 0 && IdentityOf(handle, &parentDevice, &parentInode) &&
               !(parentDevice == device && parentInode == inode);
    device = parentDevice;
    inode = parentInode;
  }
  if (handle >= 0) close(handle);
  GiveBackDescriptors(2);
  return climbing;
}

// A new directory, its descriptor counted already; nobody holds it yet.
Directory* Register(std::string path, int fd, const DirectoryFacts& facts) {
  Directory* directory = new Directory;
  directory->path = std::move(path);
  directory->device = static_cast<dev_t>(facts.volume);
  directory->inode = static_cast<ino_t>(facts.file);
  directory->fd = fd;
  directory->holds = 0;
  LockBriefly(&gHandles->lock);
  std::lock_guard<std::mutex> hold(gHandles->lock, std::adopt_lock);
  LinkAsNewest(directory);
  return directory;
}

bool Identify(int fd, DirectoryFacts* facts) {
  dev_t device;
  ino_t inode;
  if (!IdentityOf(fd, &device, &inode)) return false;
  facts->volume = static_cast<uint64_t>(device);
  facts->file = static_cast<uint64_t>(inode);
  facts->kernelFiles = KernelFilesOn(device, fd);
  return true;
}

// Opens a given-up directory again by its path; -1 when that path no
// longer leads to it.
int Reopen(const Directory* directory) {
  TakeDescriptors(2);
  int fd = OpenPath(directory->path);
  dev_t device;
  ino_t inode;
  if (fd >= 0 && (!IdentityOf(fd, &device, &inode) || device != directory->device ||
                  inode != directory->inode)) {
    close(fd);
    fd = -1;
  }
  GiveBackDescriptors(fd >= 0 ? 1 : 2);
  return fd;
}

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

size_t DescriptorLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > SIZE_MAX)
    return SIZE_MAX;
  return static_cast<size_t>(limit.rlim_cur);
}

// Descriptors open when the walk begins, the standard three included: a
// caller may hand on others.  /proc/self/fd lists them; without /proc
// they are probed one by one, up to a point.
size_t DescriptorsInUse(size_t limit) {
  size_t used = 0;
  int listing = open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing >= 0) {
    alignas(8) char buffer[1024];
    for (ssize_t got; (got = getdents64(listing, buffer, sizeof buffer)) > 0;) {
      for (ssize_t at = 0; at < got;) {
        const dirent64* item = reinterpret_cast<const dirent64*>(buffer + at);
        at += item->d_reclen;
        used += item->d_name[0] != '.' ? 1 : 0;
      }
    }
    close(listing);
    used -= used > 0 ? 1 : 0;  // the listing's own
  } else {
    const size_t kProbedBelow = 1024;
    for (size_t fd = 0; fd < std::min(limit, kProbedBelow); ++fd)
      used += fcntl(static_cast<int>(fd), F_GETFD) != -1 ? 1 : 0;
  }
  return std::max<size_t>(used, 3);
}

}  // namespace

uint64_t ToFileTime(const timespec& when) {
  const int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const int64_t kTicksPerSecond = 10000000;
  if (when.tv_sec < -kSecondsFrom1601To1970 ||
      when.tv_sec > INT64_MAX / kTicksPerSecond - kSecondsFrom1601To1970 - 1)
    return kUnconvertibleTime;
  return static_cast<uint64_t>((when.tv_sec + kSecondsFrom1601To1970) * kTicksPerSecond +
                               when.tv_nsec / 100);
}

int OpenAtOrEndRun(int directory, const char* name, int flags) {
  int handle;
  do {
    handle = openat(directory, name, flags);
  } while (handle < 0 && errno == EINTR);
  if (handle < 0 && (errno == EMFILE || errno == ENFILE))
    FailRun("out of file descriptors (ulimit -n)");
  if (handle < 0 && errno == ENOMEM) FailRun("out of memory");
  return handle;
}

void TakeDescriptors(int count) {
  DirectoryHandles& handles = *gHandles;
  if (handles.taken.fetch_add(count) + count <= handles.budget) return;
  std::lock_guard<std::mutex> hold(handles.lock);
  while (handles.taken.load() > handles.budget && GiveUpOne()) {
  }
  if (handles.taken.load() > handles.budget) FailRun("out of file descriptors (ulimit -n)");
}

void GiveBackDescriptors(int count) { gHandles->taken.fetch_sub(count); }

int HeldDescriptor(const Directory* directory) { return directory->fd; }

bool KeepDescriptorForTheRun() {
  const size_t kPlenty = 64;
  DirectoryHandles& handles = *gHandles;
  std::lock_guard<std::mutex> hold(handles.lock);
  if (handles.budget < kPlenty) return false;
  if (handles.budget != SIZE_MAX) --handles.budget;
  return true;
}

void InitDirectories() {
  // Where the limit leaves room, two descriptors stay free for what the
  // runtime opens on its own.
  const size_t kLeftToTheRuntime = 2;
  const size_t kFewestForTheWalk = 3;
  size_t limit = DescriptorLimit();
  if (limit != SIZE_MAX) {
    size_t used = DescriptorsInUse(limit);
    size_t free = limit > used ? limit - used : 0;
    size_t spare = free > kFewestForTheWalk ? free - kFewestForTheWalk : 0;
    gHandles->budget = free - std::min(kLeftToTheRuntime, spare);
  }
  gHandles->startingDirectory = StartingDirectory();
}

int ThreadsWithinFileLimit(int wanted) {
  // A thread at work holds three descriptors at most (a directory, and a
  // file it looks at and reads); as many again are left for the
  // directories read ahead.
  const size_t kPerThread = 3 * 2;
  size_t budget = gHandles->budget;
  if (budget == SIZE_MAX) return wanted;
  size_t threads = std::max<size_t>(1, budget / kPerThread);
  return static_cast<int>(std::min<size_t>(threads, static_cast<size_t>(wanted)));
}

Directory* OpenStartDirectory(const char* path, DirectoryFacts* facts) {
  DirectoryHandles& handles = *gHandles;
  if (!path || !*path) return nullptr;
  // "\" is the root only as a start path: once a walk has begun, every
  // name is a subdirectory's, and here a directory may be called "\".
  std::string whole = strcmp(path, "\\") == 0 ? "/" : path;
  bool relative = whole[0] != '/';
  if (relative) {
    if (handles.startingDirectory.empty()) return nullptr;
    whole = handles.startingDirectory + "/" + whole;
  }
  whole = NormalizeLexically(whole);
  TakeDescriptors(2);
  int fd = OpenPath(whole);
  // Below a directory the process may not pass through, a path that stays
  // below the starting directory is still opened from there.
  if (fd < 0 && relative && !HasParentStep(path)) fd = OpenDirectoryAt(AT_FDCWD, path);
  *facts = DirectoryFacts{0, 0, false, false, false};
  if (fd >= 0 && !Identify(fd, facts)) {
    close(fd);
    fd = -1;
  }
  GiveBackDescriptors(fd >= 0 ? 1 : 2);
  if (fd < 0) return nullptr;
  handles.rootDevice = static_cast<dev_t>(facts->volume);
  handles.rootInode = static_cast<ino_t>(facts->file);
  return Register(whole, fd, *facts);
}

// A link is told apart by the open that refuses to follow it.
Directory* OpenSubdirectory(Directory* parent, const Listing* listing, size_t index,
                            DirectoryFacts* facts) {
  const char* name = ListingName(listing, index);
  if (!HoldDirectory(parent)) return nullptr;
  TakeDescriptors(1);
  *facts = DirectoryFacts{0, 0, false, false, false};
  int fd = OpenDirectoryAt(parent->fd, name, O_NOFOLLOW);
  if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) {
    fd = OpenDirectoryAt(parent->fd, name);
    facts->throughLink = fd >= 0;
  }
  ReleaseDirectory(parent);
  if (fd >= 0 && !Identify(fd, facts)) {
    close(fd);
    fd = -1;
  }
  if (fd < 0) {
    GiveBackDescriptors(1);
    return nullptr;
  }
  facts->insideTree = facts->throughLink && IsInsideTree(fd, static_cast<dev_t>(facts->volume),
                                                         static_cast<ino_t>(facts->file));
  std::string path = parent->path;
  if (path != "/") path += '/';
  path += name;
  return Register(std::move(path), fd, *facts);
}

// A hold keeps the descriptor from being given up; a directory whose
// descriptor went is opened again by its path, by one thread at a time.
bool HoldDirectory(Directory* directory) {
  int holds = directory->holds.load();
  do {
    while (holds < 0) holds = directory->holds.load();
  } while (!directory->holds.compare_exchange_weak(holds, holds + 1));
  if (directory->fd.load() >= 0) return true;
  std::lock_guard<std::mutex> reopening(gHandles->reopening);
  if (directory->fd.load() >= 0) return true;
  int fd = Reopen(directory);
  if (fd < 0) {
    directory->holds.fetch_sub(1);
    return false;
  }
  LockBriefly(&gHandles->lock);
  std::lock_guard<std::mutex> hold(gHandles->lock, std::adopt_lock);
  directory->fd.store(fd);
  LinkAsNewest(directory);
  return true;
}

void ReleaseDirectory(Directory* directory) { directory->holds.fetch_sub(1); }

void CloseDirectory(Directory* directory) {
  int fd;
  {
    LockBriefly(&gHandles->lock);
    std::lock_guard<std::mutex> hold(gHandles->lock, std::adopt_lock);
    fd = directory->fd.load();
    if (fd >= 0) Unlink(directory);
  }
  if (fd >= 0) {
    close(fd);
    GiveBackDescriptors(1);
  }
  delete directory;
}

const std::string& DirectoryPath(const Directory* directory) { return directory->path; }
