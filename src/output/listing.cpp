#include "output/listing.h"

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

namespace {

// The value's decimal digits, at least minDigits of them, right-aligned in
// width columns; a wider value takes the columns it needs.
char* PutNumber(char* out, uint64_t value, int width, int minDigits) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < minDigits) digits[count++] = '0';
  for (int pad = width - count; pad > 0; --pad) *out++ = ' ';
  while (count > 0) *out++ = digits[--count];
  return out;
}

char* PutText(char* out, const char* text, size_t length) {
  memcpy(out, text, length);
  return out + length;
}

}  // namespace

// Laid out by hand: this runs once per listed entry, and a general
// formatter costs more than the walk's own work.
size_t FormatEntryLine(const FindEntry& entry, const CalendarTime& local,
                       char line[kEntryLineSize]) {
  char name[kNameColumns + 1];
  PrepareNameField(entry.name, name);
  size_t nameLength = strlen(name);
  char* out = PutText(line, "   ", 3);
  out = PutText(out, name, nameLength);
  memset(out, ' ', kNameColumns - nameLength);
  out += kNameColumns - nameLength;
  // Sizes up to 9 TB fill the 13 columns; a larger one widens the line
  // rather than losing digits.
  if (entry.attributes & kDirectoryAttribute)
    out = PutText(out, "        <DIR>", 13);
  else
    out = PutNumber(out, entry.size, 13, 1);
  out = PutNumber(out, local.year, 7, 1);
  *out++ = '-';
  out = PutNumber(out, local.month, 0, 2);
  *out++ = '-';
  out = PutNumber(out, local.day, 0, 2);
  out = PutNumber(out, local.hour, 5, 2);
  *out++ = ':';
  out = PutNumber(out, local.minute, 0, 2);
  *out++ = ':';
  out = PutNumber(out, local.second, 0, 2);
  *out++ = '\n';
  return static_cast<size_t>(out - line);
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
  size_t length = FormatEntryLine(entry, local, line) - 1;  // without its newline
  MakeRoomForLine(length);
  PrintText(line, length + 1);
  PageTick(length);
}
