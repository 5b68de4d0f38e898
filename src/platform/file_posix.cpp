#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/directory_posix.h"
#include "platform/file.h"

// An open file; its identity holds its size when opened.  A read that
// comes back short once that size is reached has met the end of the file,
// so the read that would give 0 to say so is spared: most files searched
// fit in one block.
struct OpenFile {
  int fd;
  uint64_t consumed;
  bool ended;
  FileIdentity identity;
};

struct SharedDirectory {
  int fd;
};

namespace {

OpenFile* FileOf(FileHandle file) { return reinterpret_cast<OpenFile*>(file); }

int OpenUninterrupted(int directory, const char* name, int flags) {
  int fd;
  do {
    fd = openat(directory, name, flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

FileHandle OpenEntryAt(int directory, FindEntry* entry) {
  // Opening a device can block or act, and a FIFO or socket holds no
  // content; the enumeration has already told them apart.
  if (entry->attributes != kNormalAttribute) return kNoFile;
  // A symbolic link is opened a second time, following it, so that its
  // file is known to have another name.
  const int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  bool throughLink = false;
  int fd = OpenUninterrupted(directory, entry->name, kFlags | O_NOFOLLOW);
  if (fd < 0 && errno == ELOOP) {
    throughLink = true;
    fd = OpenUninterrupted(directory, entry->name, kFlags);
  }
  if (fd < 0) return kNoFile;
  // The name may have been replaced since the directory was read.
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return kNoFile;
  }
  entry->lastWriteTime = ToFileTime(info.st_mtim);
  entry->size = static_cast<uint64_t>(info.st_size);
  FileIdentity identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                           entry->size, throughLink || info.st_nlink > 1};
  return reinterpret_cast<FileHandle>(new OpenFile{fd, 0, false, identity});
}

}  // namespace

FileHandle OpenEntryForReading(FindEntry* entry) {
  return OpenEntryAt(CurrentDirectoryHandle(), entry);
}

SharedDirectory* ShareCurrentDirectory() {
  return new SharedDirectory{fcntl(CurrentDirectoryHandle(), F_DUPFD_CLOEXEC, 0)};
}

void ReleaseDirectory(SharedDirectory* directory) {
  if (directory->fd >= 0) close(directory->fd);
  delete directory;
}

FileHandle OpenEntryIn(SharedDirectory* directory, FindEntry* entry) {
  return OpenEntryAt(directory->fd, entry);
}

// The standard three, the walk's own and a few for its single steps (the
// climb that judges a link, a reopened level, the terminal) are kept.
size_t HandlesToSpare() {
  const size_t kKept = 3 + 4;
  size_t limit = DescriptorLimit();
  if (limit == SIZE_MAX) return SIZE_MAX;
  size_t kept = kKept + OpenLevelBudget();
  return limit > kept ? limit - kept : 0;
}

bool IdentifyFile(FileHandle file, FileIdentity* identity) {
  *identity = FileOf(file)->identity;
  return true;
}

size_t ReadFileBlock(FileHandle file, void* block, size_t size) {
  OpenFile* open = FileOf(file);
  if (open->ended) return 0;
  ssize_t got;
  do {
    got = read(open->fd, block, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return 0;
  open->consumed += static_cast<uint64_t>(got);
  // A size of 0 is what kernel files such as /proc/kallsyms report, and
  // they hand out a page at a time: only a read of nothing ends them.
  uint64_t opened = open->identity.size;
  open->ended = static_cast<size_t>(got) < size && opened > 0 && open->consumed >= opened;
  return static_cast<size_t>(got);
}

void CloseFile(FileHandle file) {
  close(FileOf(file)->fd);
  delete FileOf(file);
}
