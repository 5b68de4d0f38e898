// What the Win32 directory and file operations share.
#ifndef TROVIX_PLATFORM_DIRECTORY_WIN32_H_
#define TROVIX_PLATFORM_DIRECTORY_WIN32_H_

#include <string>

// The "\\?\" form of a name in the current directory, which no length
// limit applies to.
std::wstring ExtendedPathInCurrentDir(const char* name);

#endif  // TROVIX_PLATFORM_DIRECTORY_WIN32_H_
