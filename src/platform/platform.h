// The operating-system operations the rest of Trovix uses.  Every caller
// sees what the Win32 operation it stands for gives on NTFS: the same
// entries in the same order under the same wildcard rules, a logical current
// directory, local calendar fields.  platform_posix.cpp and
// platform_win32.cpp implement this header; the build picks one.
#ifndef TROVIX_PLATFORM_PLATFORM_H_
#define TROVIX_PLATFORM_PLATFORM_H_

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

// Local calendar fields; all zero when the time cannot be converted.
struct CalendarTime {
  unsigned year, month, day, hour, minute, second;
};

// How much of each entry an enumeration must fill: callers that only look
// for subdirectories ask for names and the directory bit, which spares a
// stat per entry where the platform can.
enum EntryDetail { kNameAndKind, kFullDetail };

struct Enumeration;

// Starts an enumeration of the current directory; gives the first entry
// whose name matches the pattern, or null when none does.  "." and ".."
// come first when they match, then the names in NTFS order.
Enumeration* FindFirstEntry(const char* pattern, EntryDetail detail,
                            FindEntry* entry);
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
// a link to a directory inside the tree, or when it belongs to a kernel
// pseudo file system entered from outside one.
bool ClaimCurrentDirectory();

// A file opened for reading, or kNoFile.
typedef intptr_t FileHandle;
const FileHandle kNoFile = -1;
// Opens the entry's file for reading when it is a regular file; never
// blocks.  Completes the entry's size and last write time from the opened
// file, which an enumeration for names and kinds leaves out.
FileHandle OpenEntryForReading(FindEntry* entry);
// Gives the bytes read, 0 at the end of the file or on failure.
size_t ReadFileBlock(FileHandle file, void* block, size_t size);
void CloseFile(FileHandle file);

void LastWriteToLocal(uint64_t fileTime, CalendarTime* local);

// The console that standard output writes to, or null when it is not one.
struct Console;
Console* GetConsoleOutput();
struct ConsoleSize {
  int bottomRow;  // the window's bottom row index
  int columns;    // where a longer line wraps; 0 when unknown
};
// Clears the whole screen and its scrollback, puts the cursor at the top
// left, and gives the window's size.
ConsoleSize ClearScreen(Console* console);
// Waits for one key press from the console, not echoed; gives its code,
// or -1 at once when there is no console to read.
int ReadKey();

// One formatted print to standard output; on a console it is shown at once.
void Print(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Flushes standard output and ends the process with the status.
[[noreturn]] void EndProcess(int status);

// Prepares the process: output buffering, the starting directory.
void InitPlatform();

// On POSIX every absolute path begins with "/", so only a short argument
// such as "/C" can be a switch there; on Windows any "/" argument is one.
extern const bool kSlashMayStartPath;

#endif  // TROVIX_PLATFORM_PLATFORM_H_
