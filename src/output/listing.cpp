#include "output/listing.h"

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

void ReplaceControlBytes(char* text) {
  for (; *text; ++text) {
    unsigned char c = static_cast<unsigned char>(*text);
    if (c < 0x20 || c == 0x7f) *text = '?';
  }
}

void FormatEntryLine(const FindEntry& entry, const CalendarTime& local,
                     char line[kEntryLineSize]) {
  char name[kNameColumns + 1];
  PrepareNameField(entry.name, name);
  char size[16];
  if (entry.attributes & kDirectoryAttribute)
    snprintf(size, sizeof size, "%13s", "<DIR>");
  else
    snprintf(size, sizeof size, "%13u", entry.sizeLow);
  snprintf(line, kEntryLineSize, "   %-35s%s%7u-%.2u-%.2u%5.2u:%.2u:%.2u\n", name, size,
           local.year, local.month, local.day, local.hour, local.minute, local.second);
}

void PrintEntry(const FindEntry& entry) {
  if (gListing.pendingHeader[0] != '\0') {
    ReplaceControlBytes(gListing.pendingHeader);
    Print("%s\n", gListing.pendingHeader);
    gListing.pendingHeader[0] = '\0';
    PageTick();
  }
  ++gListing.foundCount;
  CalendarTime local;
  LastWriteToLocal(entry.lastWriteTime, &local);
  char line[kEntryLineSize];
  FormatEntryLine(entry, local, line);
  Print("%s", line);
  PageTick();
}
