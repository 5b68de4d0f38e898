// What the POSIX directory and file operations share: the kinds of entry
// as Windows marks them, and the handle of the walk's current directory.
#ifndef TROVIX_PLATFORM_DIRECTORY_POSIX_H_
#define TROVIX_PLATFORM_DIRECTORY_POSIX_H_

#include <stddef.h>
#include <stdint.h>
#include <time.h>

const uint32_t kNormalAttribute = 0x80;
// What Windows marks a device: neither a file nor a directory (a FIFO, a
// socket, a device node, a dangling link).  Such an entry is never opened.
const uint32_t kDeviceAttribute = 0x40;

const uint64_t kUnconvertibleTime = ~static_cast<uint64_t>(0);

// 100-ns ticks since 1601, or kUnconvertibleTime.
uint64_t ToFileTime(const timespec& when);

// The descriptor an open gave, or -1 when the name cannot be opened; when
// the process has no descriptor left, the run ends instead, so that no
// directory or file is skipped for want of one and the listing taken whole.
int EndRunIfOutOfDescriptors(int handle);

// The process's limit on open descriptors, SIZE_MAX when there is none.
size_t DescriptorLimit();
// How many directory handles the walk keeps open at most.
size_t OpenLevelBudget();

// Whether the handle's file lies on a kernel pseudo file system (proc,
// sysfs and the like), where files hold views of the running system.
bool IsOnKernelFileSystem(int handle);

// The open handle of the current directory, or -1 when the walk could not
// get back to it.
int CurrentDirectoryHandle();

#endif  // TROVIX_PLATFORM_DIRECTORY_POSIX_H_
