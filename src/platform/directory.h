// Directories: enumeration under Windows' wildcard rules, and the walk's
// logical current directory.  Every caller sees what the Win32 operations
// give on NTFS: the same entries in the same order, ".." back to where the
// walk came from.
#ifndef TROVIX_PLATFORM_DIRECTORY_H_
#define TROVIX_PLATFORM_DIRECTORY_H_

#include <stddef.h>
#include <stdint.h>

const uint32_t kDirectoryAttribute = 0x10;

// One directory entry as an enumeration gives it.
struct FindEntry {
  uint32_t attributes;     // kDirectoryAttribute for a directory
  uint64_t lastWriteTime;  // 100-ns ticks since 1601-01-01 UTC
  uint64_t size;           // in bytes
  char name[260];
};

// How much of each entry an enumeration must fill: callers that only look
// for subdirectories ask for names and the directory bit, which spares a
// stat per entry where the platform can.
enum EntryDetail { kNameAndKind, kFullDetail };

struct Enumeration;

// Starts an enumeration of the current directory; gives the first entry
// whose name matches the pattern, or null when none does.  "." and ".."
// come first when they match, then the names in NTFS order.
Enumeration* FindFirstEntry(const char* pattern, EntryDetail detail, FindEntry* entry);
// Gives the next match; false at the end.
bool FindNextEntry(Enumeration* enumeration, FindEntry* entry);
void CloseEnumeration(Enumeration* enumeration);

// Makes a path, a bare name or ".." the current directory; false when it
// cannot be entered.  ".." returns to the directory the walk came from,
// also after a directory was entered through a link.  The single text "\"
// names the root directory until the walk claims its first directory; after
// that it is a subdirectory's name, where a name may hold "\".
bool SetCurrentDir(const char* path);
// Copies the current directory's full path, cut to size - 1 bytes.
void GetCurrentDir(char* buffer, size_t size);
// Records the current directory as walked.  The first directory claimed is
// the start of the tree.  False when this run has walked it already (a
// link or mount that leads back into the tree), when it was entered through
// a link to a directory inside the tree or through a link that lies on a
// kernel pseudo file system, or when it belongs to such a file system
// entered from outside one.
bool ClaimCurrentDirectory();

// Takes the process's starting directory as the current one.
void InitCurrentDirectory();

#endif  // TROVIX_PLATFORM_DIRECTORY_H_
