// The content filter: with a search text, a file is listed only when its
// bytes hold the text.
#ifndef TROVIX_SEARCH_CONTENT_FILTER_H_
#define TROVIX_SEARCH_CONTENT_FILTER_H_

#include "platform/platform.h"

// Makes gSettings.foldedText from gSettings.searchText.
void PrepareFoldedText();

// True when the open file's bytes hold the run's search text: searchText
// with "/C", foldedText compared with folded bytes with "/I".  Reads front
// to back and stops at the first occurrence.
bool FileContainsText(FileHandle file);

// Opens the entry, and lists it when its bytes hold the search text.
void PrintEntryIfItContainsText(const FindEntry& entry);

#endif  // TROVIX_SEARCH_CONTENT_FILTER_H_
