#include "output/listing.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "common/records.h"
#include "output/pager.h"

namespace {

const size_t kNameColumns = 35;

// A long name keeps its first 32 characters and gets "...".
void PrepareNameField(const char* name, char field[kNameColumns + 1]) {
  size_t length = strlen(name);
  if (length <= kNameColumns) {
    memcpy(field, name, length + 1);
  } else {
    memcpy(field, name, kNameColumns - 3);
    memcpy(field + kNameColumns - 3, "...", 4);
  }
  ReplaceControlBytes(field);
}

}  // namespace

// The C1 controls U+0080 to U+009F, as UTF-8, are obeyed by some terminals
// like ESC and its sequences; each shows as one "?".
void ReplaceControlBytes(char* text) {
  char* shown = text;
  for (const char* byte = text; *byte; ++byte) {
    unsigned char c = static_cast<unsigned char>(*byte);
    unsigned char next = static_cast<unsigned char>(byte[1]);
    if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
      ++byte;
      c = 0;
    }
    *shown++ = (c < 0x20 || c == 0x7f) ? '?' : *byte;
  }
  *shown = '\0';
}

void FormatEntryLine(const FindEntry& entry, const CalendarTime& local,
                     char line[kEntryLineSize]) {
  char name[kNameColumns + 1];
  PrepareNameField(entry.name, name);
  // Sizes up to 9 TB fill the 13 columns; a larger one widens the line
  // rather than losing digits.
  char size[24];
  if (entry.attributes & kDirectoryAttribute)
    snprintf(size, sizeof size, "%13s", "<DIR>");
  else
    snprintf(size, sizeof size, "%13" PRIu64, entry.size);
  snprintf(line, kEntryLineSize, "   %-35s%s%7u-%.2u-%.2u%5.2u:%.2u:%.2u\n", name, size,
           local.year, local.month, local.day, local.hour, local.minute, local.second);
}

void PrintEntry(const FindEntry& entry) {
  if (gListing.pendingHeader[0] != '\0') {
    ReplaceControlBytes(gListing.pendingHeader);
    size_t length = strlen(gListing.pendingHeader);
    MakeRoomForLine(length);
    Print("%s\n", gListing.pendingHeader);
    gListing.pendingHeader[0] = '\0';
    PageTick(length);
  }
  ++gListing.foundCount;
  CalendarTime local;
  LastWriteToLocal(entry.lastWriteTime, &local);
  char line[kEntryLineSize];
  FormatEntryLine(entry, local, line);
  size_t length = strlen(line) - 1;  // without its newline
  MakeRoomForLine(length);
  Print("%s", line);
  PageTick(length);
}
