// What the Win32 directory, listing and file operations share: directories
// and entries reached by their real (wide) names, which the ANSI code page
// may not be able to show.
#ifndef TROVIX_PLATFORM_DIRECTORY_WIN32_H_
#define TROVIX_PLATFORM_DIRECTORY_WIN32_H_

#include <stddef.h>

#include <string>

struct Directory;
struct Listing;

// The "\\?\" form of a directory's full path, which no length limit
// applies to.
const std::wstring& ExtendedPathOf(const Directory* directory);
// The entry's name as the file system holds it.
const wchar_t* ListingWideName(const Listing* listing, size_t index);
// The "\\?\" form of an entry's full path.
std::wstring ExtendedPathOfEntry(const Directory* directory, const Listing* listing,
                                 size_t index);

// Text in the ANSI code page, "?" where it has no character.
std::string Narrow(const wchar_t* text);

#endif  // TROVIX_PLATFORM_DIRECTORY_WIN32_H_
