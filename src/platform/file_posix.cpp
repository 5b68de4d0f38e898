#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/directory_posix.h"
#include "platform/file.h"
#include "platform/kernel_files_posix.h"

// An open file.  Its identity holds its size when opened: a read that
// comes back short once that size is reached has met the end of the file,
// so the read that would give 0 to say so is spared, as most files searched
// fit in one block.  A file with holes is read over its data alone, by
// offset; a kernel file that reports no size is read up to a bound.
struct OpenFile {
  int fd;
  uint64_t consumed;  // bytes read so far, or in a file with holes the offset reached
  uint64_t dataEnd;   // in a file with holes, where the data being read ends
  uint64_t readLimit;
  bool holes;
  bool ended;
  FileIdentity identity;
};

namespace {

OpenFile* FileOf(FileHandle file) { return reinterpret_cast<OpenFile*>(file); }

// Where /proc is mounted, a file looked at by a path handle is opened for
// reading through the handle's entry in /proc/self/fd.
bool HaveSelfDescriptors() {
  static const bool mounted = access("/proc/self/fd", X_OK) == 0;
  return mounted;
}

// /proc/self/fd itself, kept open for the run where the limit on open files
// leaves room: opening a name in it costs less than the whole path.
int SelfDescriptorsDirectory() {
  static const int directory = KeepDescriptorForTheRun()
                                   ? open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                   : -1;
  return directory;
}

const int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Opens for reading the very file that the path handle refers to, so that
// what was found to be a regular file is what is read, whatever the name
// has come to mean since.  Without /proc the name is opened again, and its
// identity compared: a file swapped in between is then closed unread.
int ReopenForReading(int pathHandle, int directory, const char* name, bool followLinks,
                     const struct stat& looked) {
  if (HaveSelfDescriptors()) {
    char path[40];
    int selfDescriptors = SelfDescriptorsDirectory();
    if (selfDescriptors >= 0) {
      snprintf(path, sizeof path, "%d", pathHandle);
      return OpenAtOrEndRun(selfDescriptors, path, kReadFlags);
    }
    snprintf(path, sizeof path, "/proc/self/fd/%d", pathHandle);
    return OpenAtOrEndRun(AT_FDCWD, path, kReadFlags);
  }
  int fd = OpenAtOrEndRun(directory, name, kReadFlags | (followLinks ? 0 : O_NOFOLLOW));
  struct stat opened;
  if (fd >= 0 && (fstat(fd, &opened) != 0 || opened.st_dev != looked.st_dev ||
                  opened.st_ino != looked.st_ino)) {
    close(fd);
    return -1;
  }
  return fd;
}

// A path handle opens nothing: a FIFO, a device or a link to one is looked
// at and never opened.  A symbolic link is looked through a second time, so
// that its file is known to have another name.
int LookAtRegularFile(int directory, const char* name, struct stat* info, bool* throughLink) {
  const int kLookFlags = O_PATH | O_CLOEXEC;
  *throughLink = false;
  int handle = OpenAtOrEndRun(directory, name, kLookFlags | O_NOFOLLOW);
  if (handle >= 0 && fstat(handle, info) == 0 && S_ISLNK(info->st_mode)) {
    close(handle);
    *throughLink = true;
    handle = OpenAtOrEndRun(directory, name, kLookFlags);
    if (handle >= 0 && fstat(handle, info) != 0) info->st_mode = 0;
  }
  if (handle >= 0 && !S_ISREG(info->st_mode)) {
    close(handle);
    return -1;
  }
  return handle;
}

// Two descriptors are taken while a file is looked at and opened, one is
// kept while it is read.
FileHandle OpenEntryAt(int directory, FindEntry* entry) {
  // The listing has already told most special files apart.
  if (entry->attributes != kNormalAttribute) return kNoFile;
  TakeDescriptors(2);
  struct stat info;
  bool throughLink;
  int handle = LookAtRegularFile(directory, entry->name, &info, &throughLink);
  int fd = -1;
  bool kernelFile = false;
  if (handle >= 0) {
    kernelFile = (info.st_size == 0 || TakesWhatItHolds(entry->name)) &&
                 KernelFilesOn(info.st_dev, handle);
    if (!(kernelFile && TakesWhatItHolds(entry->name)))
      fd = ReopenForReading(handle, directory, entry->name, throughLink, info);
    close(handle);
  }
  GiveBackDescriptors(fd >= 0 ? 1 : 2);
  if (fd < 0) return kNoFile;
  entry->lastWriteTime = ToFileTime(info.st_mtim);
  entry->size = static_cast<uint64_t>(info.st_size);
  FileIdentity identity = {static_cast<uint64_t>(info.st_dev),
                           static_cast<uint64_t>(info.st_ino),
                           entry->size,
                           ToFileTime(info.st_mtim),
                           ToFileTime(info.st_ctim),
                           throughLink || info.st_nlink > 1};
  // Fewer blocks than the size fills: the file has holes, which hold no text.
  bool holes = info.st_size > 0 && static_cast<uint64_t>(info.st_blocks) * 512 <
                                       static_cast<uint64_t>(info.st_size);
  uint64_t limit = kernelFile ? kKernelFileBound : UINT64_MAX;
  return reinterpret_cast<FileHandle>(new OpenFile{fd, 0, 0, limit, holes, false, identity});
}

ssize_t ReadUninterrupted(int fd, void* block, size_t size) {
  ssize_t got;
  do {
    got = read(fd, block, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace

FileHandle OpenListedFile(Directory* directory, const Listing*, size_t, FindEntry* entry) {
  return OpenEntryAt(HeldDescriptor(directory), entry);
}

bool IdentifyFile(FileHandle file, FileIdentity* identity) {
  *identity = FileOf(file)->identity;
  return true;
}

// The data of a file with holes is found by SEEK_DATA and SEEK_HOLE; a file
// system without them reports the whole file as data.
bool SkipHole(FileHandle file) {
  OpenFile* open = FileOf(file);
  if (!open->holes || open->ended || open->consumed < open->dataEnd) return false;
  off_t data = lseek(open->fd, static_cast<off_t>(open->consumed), SEEK_DATA);
  off_t hole = data < 0 ? -1 : lseek(open->fd, data, SEEK_HOLE);
  if (hole <= data) {
    open->ended = true;  // no data after this point (ENXIO), or the file shrank
    return false;
  }
  bool skipped = static_cast<uint64_t>(data) > open->consumed;
  open->consumed = static_cast<uint64_t>(data);
  open->dataEnd = static_cast<uint64_t>(hole);
  return skipped;
}

size_t ReadFileBlock(FileHandle file, void* block, size_t size) {
  OpenFile* open = FileOf(file);
  if (open->holes) SkipHole(file);
  if (open->ended) return 0;
  ssize_t got;
  if (open->holes) {
    size = static_cast<size_t>(std::min<uint64_t>(size, open->dataEnd - open->consumed));
    do {
      got = pread(open->fd, block, size, static_cast<off_t>(open->consumed));
    } while (got < 0 && errno == EINTR);
  } else {
    size = static_cast<size_t>(std::min<uint64_t>(size, open->readLimit - open->consumed));
    got = size == 0 ? 0 : ReadUninterrupted(open->fd, block, size);
  }
  if (got <= 0) {
    open->ended = true;
    return 0;
  }
  open->consumed += static_cast<uint64_t>(got);
  // A size of 0 is what kernel files such as /proc/kallsyms report, and
  // they hand out a page at a time: only a read of nothing ends them.
  uint64_t opened = open->identity.size;
  open->ended = !open->holes && static_cast<size_t>(got) < size && opened > 0 &&
                open->consumed >= opened;
  return static_cast<size_t>(got);
}

void CloseFile(FileHandle file) {
  close(FileOf(file)->fd);
  GiveBackDescriptors(1);
  delete FileOf(file);
}
