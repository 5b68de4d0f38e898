// What the Win32 directory and file operations share.
#ifndef TROVIX_PLATFORM_DIRECTORY_WIN32_H_
#define TROVIX_PLATFORM_DIRECTORY_WIN32_H_

#include <string>

// The "\\?\" form of a name in the current directory, which no length
// limit applies to.
std::wstring ExtendedPathInCurrentDir(const char* name);
// The same for a name in a directory given by its full path.
std::wstring ExtendedPathIn(const std::string& directory, const char* name);
// The current directory's full path.
const std::string& CurrentDirPath();

#endif  // TROVIX_PLATFORM_DIRECTORY_WIN32_H_
