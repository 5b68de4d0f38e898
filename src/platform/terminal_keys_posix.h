// How the bytes a terminal sends make up key presses.  A terminal sends
// most keys as one byte, a character beyond ASCII as a UTF-8 sequence, and
// keys without a character (cursor, function, paging keys, Alt with a key)
// as an escape sequence; a key read must take each of them whole, so that
// no leftover byte is taken for the next key.
#ifndef TROVIX_PLATFORM_TERMINAL_KEYS_POSIX_H_
#define TROVIX_PLATFORM_TERMINAL_KEYS_POSIX_H_

// No key a terminal sends is longer; a longer run is cut there.
const int kMaxKeyBytes = 16;

const unsigned char kEscape = 0x1b;

// Whether the bytes received so far make a whole key.  A lone Escape, or an
// escape sequence cut short, is never whole by its bytes: the reader ends
// it when no further byte comes soon.
bool KeyIsComplete(const unsigned char* bytes, int length);

// The code of a key read as these bytes: the character's code (a UTF-8
// character's code point), 27 for a lone Escape, 0 for a key that sends an
// escape sequence and so has no character.
int KeyCode(const unsigned char* bytes, int length);

#endif  // TROVIX_PLATFORM_TERMINAL_KEYS_POSIX_H_
