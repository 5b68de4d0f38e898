#include "platform/kernel_files_posix.h"

#include <string.h>
#include <sys/vfs.h>

#include <utility>
#include <vector>

namespace {

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

bool IsOnKernelFileSystem(int handle) {
  struct statfs info;
  return fstatfs(handle, &info) == 0 && IsPseudoFileSystem(static_cast<long>(info.f_type));
}

}  // namespace

bool KernelFilesOn(dev_t device, int handle) {
  thread_local std::vector<std::pair<dev_t, bool>> known;
  for (const auto& device_kernel : known)
    if (device_kernel.first == device) return device_kernel.second;
  bool kernelFiles = IsOnKernelFileSystem(handle);
  known.emplace_back(device, kernelFiles);
  return kernelFiles;
}

bool TakesWhatItHolds(const char* name) {
  return strcmp(name, "kmsg") == 0 || strcmp(name, "trace_pipe") == 0 ||
         strcmp(name, "trace_pipe_raw") == 0;
}
