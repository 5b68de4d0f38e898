// The listing: a directory's path above its first listed entry, then one
// 75-column line per entry.
#ifndef TROVIX_OUTPUT_LISTING_H_
#define TROVIX_OUTPUT_LISTING_H_

#include "platform/platform.h"

// A line is 75 columns and a newline; the buffer has room for any field
// value, so no value can cut a line short.
const int kEntryLineSize = 128;

// Lays out an entry's line: name, size or "<DIR>", local date and time,
// and a newline; gives its length.
size_t FormatEntryLine(const FindEntry& entry, const CalendarTime& local,
                       char line[kEntryLineSize]);

// Prints the pending header if there is one, then the entry's line, and
// counts the entry.
void PrintEntry(const FindEntry& entry);

// Shows every byte or character that could break a line or drive a
// terminal as "?"; the text may get shorter.
void ReplaceControlBytes(char* text);

#endif  // TROVIX_OUTPUT_LISTING_H_
