// The content filter: with a search text, a file is listed only when its
// bytes hold the text.
#ifndef TROVIX_SEARCH_CONTENT_FILTER_H_
#define TROVIX_SEARCH_CONTENT_FILTER_H_

#include "platform/platform.h"

struct TextStream;

// Makes gSettings.foldedText from gSettings.searchText, and plans the
// search for the run.
void PrepareFoldedText();

// True when the open file's bytes hold the run's search text: searchText
// with "/C", foldedText compared with folded bytes with "/I".  Reads front
// to back and stops at the first occurrence.  A file that another name led
// to before is not read again.  Each thread brings its own stream.
bool FileContainsText(FileHandle file, TextStream* stream);

#endif  // TROVIX_SEARCH_CONTENT_FILTER_H_
