#include "output/listing.h"

#include <string.h>

#include "common/records.h"
#include "output/pager.h"

namespace {

const size_t kNameColumns = 35;
const size_t kCutNameBytes = kNameColumns - 3;  // and "..."

bool IsContinuationByte(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// The length of the UTF-8 character that begins the text, in the forms
// RFC 3629 allows (none overlong, no surrogates, none past U+10FFFF); 0 when
// the bytes there are not one.  It reads no further than a byte that
// cannot continue the character, so never past the text's end.
size_t Utf8CharacterLength(const unsigned char* text) {
  unsigned char first = text[0], low = 0x80, high = 0xbf;
  size_t length;
  if (first < 0x80) return 1;
  if (first >= 0xc2 && first <= 0xdf) {
    length = 2;
  } else if (first >= 0xe0 && first <= 0xef) {
    length = 3;
    if (first == 0xe0) low = 0xa0;
    if (first == 0xed) high = 0x9f;
  } else if (first >= 0xf0 && first <= 0xf4) {
    length = 4;
    if (first == 0xf0) low = 0x90;
    if (first == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (text[1] < low || text[1] > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuationByte(text[i])) return 0;
  }
  return length;
}

bool IsUtf8(const char* text) {
  const unsigned char* byte = reinterpret_cast<const unsigned char*>(text);
  for (size_t length; *byte; byte += length) {
    length = Utf8CharacterLength(byte);
    if (length == 0) return false;
  }
  return true;
}

// How much of a long name its field keeps: a UTF-8 name ends before the
// character that would not fit whole; any other name keeps its bytes, as
// nothing tells where its characters end.
size_t KeptNameBytes(const char* name) {
  size_t kept = kCutNameBytes;
  if (!IsUtf8(name)) return kept;
  while (kept > 0 && IsContinuationByte(static_cast<unsigned char>(name[kept]))) --kept;
  return kept;
}

// A long name keeps its first 32 bytes or fewer and gets "...".
void PrepareNameField(const char* name, char field[kNameColumns + 1]) {
  size_t length = strlen(name);
  if (length <= kNameColumns) {
    memcpy(field, name, length + 1);
  } else {
    size_t kept = KeptNameBytes(name);
    memcpy(field, name, kept);
    memcpy(field + kept, "...", 4);
  }
  ReplaceControlBytes(field);
}

// The C0 controls and DEL; the C1 controls U+0080 to U+009F as UTF-8, which
// some terminals obey like ESC and its sequences; and a lone byte that an
// 8-bit terminal takes for a C1 control.
bool IsControl(const unsigned char* character, size_t length) {
  unsigned char first = character[0];
  if (length == 1) return first < 0x20 || first == 0x7f;
  if (length == 2) return first == 0xc2 && character[1] <= 0x9f;
  return length == 0 && kLoneC1BytesAreControls && first >= 0x80 && first <= 0x9f;
}

}  // namespace

// A byte from 0x80 up is looked at within its UTF-8 character, where it has
// one: a continuation byte there is no control.
void ReplaceControlBytes(char* text) {
  char* shown = text;
  for (const char* at = text; *at;) {
    const unsigned char* character = reinterpret_cast<const unsigned char*>(at);
    size_t length = Utf8CharacterLength(character);
    size_t bytes = length == 0 ? 1 : length;
    if (IsControl(character, length)) {
      *shown++ = '?';
      at += bytes;
    } else {
      for (; bytes > 0; --bytes) *shown++ = *at++;
    }
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
