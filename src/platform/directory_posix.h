// What the POSIX directory, listing and file operations share: the kinds of
// entry as Windows marks them, the descriptor of a held directory, and the
// count of descriptors the process has open.
#ifndef TROVIX_PLATFORM_DIRECTORY_POSIX_H_
#define TROVIX_PLATFORM_DIRECTORY_POSIX_H_

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>
#include <time.h>

struct Directory;

const uint32_t kNormalAttribute = 0x80;
// What Windows marks a device: neither a file nor a directory (a FIFO, a
// socket, a device node, a dangling link).  Such an entry is never opened.
const uint32_t kDeviceAttribute = 0x40;

const uint64_t kUnconvertibleTime = ~static_cast<uint64_t>(0);

// 100-ns ticks since 1601, or kUnconvertibleTime.
uint64_t ToFileTime(const timespec& when);

// The descriptor of a directory the caller holds.
int HeldDescriptor(const Directory* directory);

// Every descriptor the process opens beyond those of the directories is
// counted while it is open, so that all of them stay within the limit on
// open files: taking one may give up the handle of a directory nobody
// holds.  A count that cannot be met ends the run.
void TakeDescriptors(int count);
void GiveBackDescriptors(int count);

// Sets a descriptor aside for the whole run, where the limit on open files
// leaves plenty of room; false where it does not.
bool KeepDescriptorForTheRun();

// Opens the name below the directory, again when a signal interrupts the
// open; -1 when the name cannot be opened.  When the process has no
// descriptor or memory left, the run ends instead, so that no directory or
// file is skipped for want of one and the listing taken whole.
int OpenAtOrEndRun(int directory, const char* name, int flags);

#endif  // TROVIX_PLATFORM_DIRECTORY_POSIX_H_
