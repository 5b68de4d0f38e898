#include "search/content_filter.h"

#include <string.h>

#include <algorithm>
#include <string>

#include "common/records.h"
#include "output/listing.h"

unsigned char FoldCase(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 32) : byte;
}

void PrepareFoldedText() {
  size_t length = strlen(gSettings.searchText);
  gSettings.foldedText = new char[length + 1];
  for (size_t i = 0; i < length; ++i)
    gSettings.foldedText[i] =
        static_cast<char>(FoldCase(static_cast<unsigned char>(gSettings.searchText[i])));
  gSettings.foldedText[length] = '\0';
}

// Reads front to back and keeps the match position across blocks, so an
// occurrence that straddles two blocks is found.  On a mismatch the text is
// compared again from each later start, so "ab" is found in "aab".
bool FileContainsText(FileHandle file) {
  const bool fold = gSettings.caseInsensitive;
  const unsigned char* pattern = reinterpret_cast<const unsigned char*>(
      fold ? gSettings.foldedText : gSettings.searchText);
  const size_t length = strlen(reinterpret_cast<const char*>(pattern));
  if (length == 0) return true;
  unsigned char block[kReadBlockSize];
  std::string carry;  // the tail of the bytes read so far that may start a match
  for (;;) {
    size_t got = ReadFileBlock(file, block, sizeof block);
    if (got == 0) return false;
    std::string window = carry;
    for (size_t i = 0; i < got; ++i)
      window += static_cast<char>(fold ? FoldCase(block[i]) : block[i]);
    if (window.find(reinterpret_cast<const char*>(pattern), 0, length) != std::string::npos)
      return true;
    size_t keep = std::min(window.size(), length - 1);
    carry = window.substr(window.size() - keep);
  }
}

void PrintEntryIfItContainsText(const FindEntry& entry) {
  FileHandle file = OpenFileForReading(entry.name);
  if (file == kNoFile) return;
  if (FileContainsText(file)) PrintEntry(entry);
  CloseFile(file);
}
