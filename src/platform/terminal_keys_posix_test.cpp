#include "platform/terminal_keys_posix.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Bytes that come together: how many one key read takes (0: it waits for more), and its code.
TEST(TerminalKeysTest, TakesEachKeyWholeAndNothingOfTheNext) {
  const struct { std::string bytes; int taken, code; } kCases[] = {
      {"qx", 1, 'q'}, {"\x03q", 1, 3}, {"\xc3\xa9q", 2, 0xe9}, {"\xe2\x82\xacq", 3, 0x20ac},
      {"\xf0\x9f\x98\x80q", 4, 0x1f600}, {"\xe9q", 2, 0xe9}, {"\x1b[Bq", 3, 0}, {"\x1bOPq", 3, 0},
      {"\x1b[15;2~q", 7, 0}, {"\x1b[[Aq", 4, 0}, {"\x1b[2@q", 4, 0}, {"\x1bqx", 2, 0},
      {"\x1b\xc3\xa9q", 3, 0}, {"\x1b\x1b[Bq", 4, 0}, {"\x1b[1\x03q", 4, 0}, {"\x1b", 0, 27},
      {"\x1b[15", 0, 0}, {"\x1bO", 0, 0}, {"\x1b\x1b", 0, 0}, {"\x1b[[", 0, 0},
      {"\xe2\x82", 0, 0xe2}, {"\x1b[" + std::string(20, '1'), kMaxKeyBytes, 0},
  };
  for (const auto& c : kCases) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    int taken = 0, size = static_cast<int>(c.bytes.size());
    for (int n = size; n > 0; --n) taken = KeyIsComplete(bytes, n) ? n : taken;
    EXPECT_TRUE(taken == c.taken && KeyCode(bytes, taken ? taken : size) == c.code) << c.bytes;
  }
}

}  // namespace
