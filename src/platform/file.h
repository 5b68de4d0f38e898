// Reading the files the content filter opens.
#ifndef TROVIX_PLATFORM_FILE_H_
#define TROVIX_PLATFORM_FILE_H_

#include <stddef.h>
#include <stdint.h>

#include "platform/directory.h"
#include "platform/listing.h"

// A file opened for reading, or kNoFile.
typedef intptr_t FileHandle;
const FileHandle kNoFile = -1;

// Opens a listed file of a held directory for reading when it is a regular
// file, and never anything else, even when the name has changed since the
// listing was read; never blocks.  Completes the entry's size and last
// write time from the opened file, which a listing for names and kinds
// leaves out.  Safe on any thread, as are reading and closing the file.
FileHandle OpenListedFile(Directory* directory, const Listing* listing, size_t index,
                          FindEntry* entry);

// Which file an open handle reads, what it was like when opened (its
// contents may have changed if any of size and times has), and whether
// another name may lead to the same file: it has hard links, or a symbolic
// link led to it.
struct FileIdentity {
  uint64_t volume;
  uint64_t file;
  uint64_t size;
  uint64_t lastWriteTime;
  uint64_t changeTime;  // of the contents or of the file's own record
  bool hasOtherNames;
};
// False when the platform cannot tell.
bool IdentifyFile(FileHandle file, FileIdentity* identity);

// Moves past a hole (a stretch never written, which reads as zero bytes)
// that the next block would begin in; true when it did, so the caller can
// tell that no text runs on across it.
bool SkipHole(FileHandle file);
// Gives the bytes read, 0 at the end of the file or on failure.  A block
// never runs across a hole.
size_t ReadFileBlock(FileHandle file, void* block, size_t size);
void CloseFile(FileHandle file);

#endif  // TROVIX_PLATFORM_FILE_H_
