// Kernel pseudo file systems (proc, sysfs and the like), whose files hold
// views of the running system rather than anything a user stored.  The
// walk enters them only from inside, and reads their files with care.
#ifndef TROVIX_PLATFORM_KERNEL_FILES_POSIX_H_
#define TROVIX_PLATFORM_KERNEL_FILES_POSIX_H_

#include <stdint.h>
#include <sys/types.h>

// Kernel files that report a size of 0 are read to their end, but no
// further than this: /proc/kallsyms (some 5 MiB, several times that on the
// largest kernels) is searched whole, while /proc/self/pagemap, which would
// give hundreds of gigabytes of page table, is not read without end.
const uint64_t kKernelFileBound = uint64_t{64} << 20;

// Whether the device, of which the caller holds a handle, is a kernel
// pseudo file system; each thread asks the system once per device.
bool KernelFilesOn(dev_t device, int handle);

// Kernel files that hand what they hold to one reader only, and wait when
// they hold nothing: to read them would take messages from the system log
// or the tracer that others are waiting for.
bool TakesWhatItHolds(const char* name);

#endif  // TROVIX_PLATFORM_KERNEL_FILES_POSIX_H_
