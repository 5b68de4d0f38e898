// The operating-system operations the rest of Trovix uses, one header per
// concept; each has a *_posix.cpp and a *_win32.cpp, and the build picks
// one side.
#ifndef TROVIX_PLATFORM_PLATFORM_H_
#define TROVIX_PLATFORM_PLATFORM_H_

#include "platform/console.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/local_time.h"
#include "platform/output.h"
#include "platform/thread.h"

// Prepares the process: output buffering, the starting directory.
void InitPlatform();

// On POSIX every absolute path begins with "/", so only a short argument
// such as "/C" can be a switch there; on Windows any "/" argument is one.
extern const bool kSlashMayStartPath;

#endif  // TROVIX_PLATFORM_PLATFORM_H_
