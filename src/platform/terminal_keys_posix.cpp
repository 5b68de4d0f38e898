#include "platform/terminal_keys_posix.h"

namespace {

bool IsContinuationByte(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// The length a UTF-8 character announces in its first byte; 1 for ASCII
// and for any byte that cannot begin a longer character.
int CharacterLength(unsigned char first) {
  if (first >= 0xc2 && first <= 0xdf) return 2;
  if (first >= 0xe0 && first <= 0xef) return 3;
  if (first >= 0xf0 && first <= 0xf4) return 4;
  return 1;
}

// A character is whole at its announced length, or at the first byte that
// cannot continue it (a terminal that does not send UTF-8).
bool CharacterIsComplete(const unsigned char* bytes, int length) {
  if (length >= CharacterLength(bytes[0])) return true;
  return length > 1 && !IsContinuationByte(bytes[length - 1]);
}

// After "ESC [": parameter and intermediate bytes up to one final byte.
// The Linux console sends F1 to F5 as "ESC [ [" and one letter.
bool ControlSequenceIsComplete(const unsigned char* bytes, int length) {
  if (length > 0 && bytes[0] == '[') return length >= 2;
  for (int i = 0; i < length; ++i) {
    if (bytes[i] < 0x20 || bytes[i] > 0x3f) return true;
  }
  return false;
}

}  // namespace

bool KeyIsComplete(const unsigned char* bytes, int length) {
  if (length >= kMaxKeyBytes) return true;
  if (bytes[0] != kEscape) return CharacterIsComplete(bytes, length);
  // Some terminals send Alt with a cursor or function key as a second
  // Escape in front of that key's sequence.
  int introducer = length > 1 && bytes[1] == kEscape ? 2 : 1;
  if (length <= introducer) return false;
  const unsigned char* rest = bytes + introducer + 1;
  int restLength = length - introducer - 1;
  switch (bytes[introducer]) {
    case '[':
      return ControlSequenceIsComplete(rest, restLength);
    case 'O':  // one more byte names the key
      return restLength >= 1;
    default:  // Alt with a character
      return CharacterIsComplete(bytes + introducer, length - introducer);
  }
}

int KeyCode(const unsigned char* bytes, int length) {
  if (bytes[0] == kEscape) return length == 1 ? kEscape : 0;
  int characterLength = CharacterLength(bytes[0]);
  if (characterLength == 1 || length < characterLength) return bytes[0];
  int code = bytes[0] & (0x7f >> characterLength);
  for (int i = 1; i < characterLength; ++i) {
    if (!IsContinuationByte(bytes[i])) return bytes[0];
    code = code << 6 | (bytes[i] & 0x3f);
  }
  return code;
}
