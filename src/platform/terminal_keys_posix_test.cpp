#include "platform/terminal_keys_posix.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What a key read makes of bytes that arrive together: how many it takes
// as the first key (all of them when none is left over), and its code.
struct SplitCase {
  const char* what;
  std::string bytes;
  int taken;
  int code;
};

// Feeds bytes one at a time, as the reader does, until the key is whole.
int BytesTaken(const std::string& bytes) {
  const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
  int length = 1;
  while (length < static_cast<int>(bytes.size()) && !KeyIsComplete(data, length)) ++length;
  return length;
}

TEST(TerminalKeysTest, TakesEachKeyWholeAndNothingOfTheNext) {
  const SplitCase kCases[] = {
      {"letter", "qx", 1, 'q'},
      {"Ctrl+C", "\x03q", 1, 3},
      {"Enter", "\rq", 1, '\r'},
      {"two-byte character", "\xc3\xa9q", 2, 0xe9},
      {"three-byte character", "\xe2\x82\xacq", 3, 0x20ac},
      {"four-byte character", "\xf0\x9f\x98\x80q", 4, 0x1f600},
      {"Latin-1 byte before a letter", "\xe9q", 2, 0xe9},
      {"lone Escape", "\x1b", 1, 27},
      {"cursor down", "\x1b[Bq", 3, 0},
      {"cursor down, application mode", "\x1bOBq", 3, 0},
      {"F1", "\x1bOPq", 3, 0},
      {"F5", "\x1b[15~q", 5, 0},
      {"Page Down", "\x1b[6~q", 4, 0},
      {"Shift+F5", "\x1b[15;2~q", 7, 0},
      {"Ctrl+Right", "\x1b[1;5Cq", 6, 0},
      {"Linux console F1", "\x1b[[Aq", 4, 0},
      {"Alt+q", "\x1bqx", 2, 0},
      {"Alt+e-acute", "\x1b\xc3\xa9q", 3, 0},
      {"Alt+cursor down", "\x1b\x1b[Bq", 4, 0},
      {"sequence broken by a control byte", "\x1b[1\x03q", 4, 0},
  };
  for (const SplitCase& c : kCases) {
    int taken = BytesTaken(c.bytes);
    EXPECT_EQ(c.taken, taken) << c.what;
    EXPECT_EQ(c.code, KeyCode(reinterpret_cast<const unsigned char*>(c.bytes.data()), taken))
        << c.what;
  }
}

TEST(TerminalKeysTest, WaitsForTheRestOfAKeyCutShort) {
  const char* const kPrefixes[] = {"\x1b", "\x1b[", "\x1b[15", "\x1bO", "\x1b\x1b", "\x1b[[",
                                   "\xc3", "\xe2\x82"};
  for (const char* prefix : kPrefixes) {
    std::string bytes = prefix;
    EXPECT_FALSE(KeyIsComplete(reinterpret_cast<const unsigned char*>(bytes.data()),
                               static_cast<int>(bytes.size())))
        << "prefix of " << bytes.size() << " bytes starting " << int(bytes[0]);
  }
  std::string endless(kMaxKeyBytes, '1');
  endless.insert(0, "\x1b[");
  EXPECT_EQ(kMaxKeyBytes, BytesTaken(endless));
}

}  // namespace
