// The directories a walk enters.  Each is opened once, below a directory
// already open or by its path, and is known by what the walk's rules look
// at: its identity, the link that led to it, the file system it lies on.
// Every operation is safe on any thread.
#ifndef TROVIX_PLATFORM_DIRECTORY_H_
#define TROVIX_PLATFORM_DIRECTORY_H_

#include <stddef.h>
#include <stdint.h>

#include <string>

struct Directory;
struct Listing;

// What the walk decides by when it meets a directory.
struct DirectoryFacts {
  uint64_t volume;  // with file, which directory it is, however reached
  uint64_t file;
  bool throughLink;  // reached through a symbolic link or a junction
  bool kernelFiles;  // lies on a kernel pseudo file system (proc, sysfs...)
  bool insideTree;   // reached through a link, and lies inside the tree
};

// Takes the process's starting directory and its limit on open files.
void InitDirectories();

// Opens the start of the walk: a path, absolute or taken from the starting
// directory, or "\", the root.  The tree whose inside insideTree tells is
// the one below it.  Null when it cannot be entered.
Directory* OpenStartDirectory(const char* path, DirectoryFacts* facts);

// Opens a subdirectory the listing of its parent names.  Null when it
// cannot be entered.
Directory* OpenSubdirectory(Directory* parent, const Listing* listing, size_t index,
                            DirectoryFacts* facts);

// Work in a directory holds it: while held, what keeps it open is not given
// up to make room for another.  False when it cannot be held any more (it
// was given up, and is gone or another directory stands in its place).
bool HoldDirectory(Directory* directory);
void ReleaseDirectory(Directory* directory);

void CloseDirectory(Directory* directory);

// The directory's full path, the way the walk came: through the links it
// followed, as the user would write it.
const std::string& DirectoryPath(const Directory* directory);

// How many threads, the main one among them, may work in directories at
// once, of those wanted: fewer where the limit on open files is low, the
// main thread alone where it leaves room for no more.
int ThreadsWithinFileLimit(int wanted);

#endif  // TROVIX_PLATFORM_DIRECTORY_H_
