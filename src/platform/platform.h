// The operating-system operations the rest of Trovix uses, one header per
// concept; each has a *_posix.cpp and a *_win32.cpp, and the build picks
// one side.
#ifndef TROVIX_PLATFORM_PLATFORM_H_
#define TROVIX_PLATFORM_PLATFORM_H_

#include "platform/console.h"
#include "platform/directory.h"
#include "platform/dos_names.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/local_time.h"
#include "platform/output.h"
#include "platform/thread.h"

// Prepares the process: output buffering, the starting directory.
void InitPlatform();

// On POSIX every absolute path begins with "/", so only a short argument
// such as "/C" can be a switch there; on Windows any "/" argument is one.
extern const bool kSlashMayStartPath;

// On POSIX a name is bytes that go to the terminal as they are, and a
// terminal in 8-bit mode takes a byte from 0x80 to 0x9F for a C1 control
// (0x9B for CSI).  On Windows a name is in the ANSI code page, where those
// bytes are characters, or the first bytes of one in the East Asian pages.
extern const bool kLoneC1BytesAreControls;

#endif  // TROVIX_PLATFORM_PLATFORM_H_
