// The content filter: with a search text, a file is listed only when its
// bytes hold the text.
#ifndef TROVIX_SEARCH_CONTENT_FILTER_H_
#define TROVIX_SEARCH_CONTENT_FILTER_H_

#include <stddef.h>

#include "platform/platform.h"

const size_t kReadBlockSize = 16384;

// "a"-"z" to "A"-"Z"; every other byte as it is.
unsigned char FoldCase(unsigned char byte);

// Makes gSettings.foldedText from gSettings.searchText.
void PrepareFoldedText();

// True when the open file's bytes hold the run's search text.
bool FileContainsText(FileHandle file);

// Opens the entry, and lists it when its bytes hold the search text.
void PrintEntryIfItContainsText(const FindEntry& entry);

#endif  // TROVIX_SEARCH_CONTENT_FILTER_H_
