#include "output/listing.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

FindEntry MakeEntry(const std::string& name, uint32_t attributes, uint32_t sizeLow) {
  FindEntry entry = {};
  entry.attributes = attributes;
  entry.sizeLow = sizeLow;
  strncpy(entry.name, name.c_str(), sizeof entry.name - 1);
  return entry;
}

struct LineCase {
  std::string name;
  uint32_t attributes;
  uint32_t size;
  CalendarTime local;
  const char* expected;
};

TEST(FormatEntryLineTest, LaysOutFixedColumns) {
  const CalendarTime kSeptember = {2002, 9, 28, 20, 31, 18};
  const CalendarTime kEarly = {1999, 1, 2, 3, 4, 5};
  const LineCase kCases[] = {
      {"readme.txt", 0x80, 876, kSeptember,
       "   readme.txt                                   876   2002-09-28   20:31:18\n"},
      {"Program Files", 0x10, 0, kSeptember,
       "   Program Files                              <DIR>   2002-09-28   20:31:18\n"},
      // 35 characters fill the column; 36 keep 32 and "...".
      {std::string(35, 'n'), 0x80, 1, kEarly,
       "   nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn            1   1999-01-02   03:04:05\n"},
      {std::string(32, 'n') + "WXYZ", 0x80, 1, kEarly,
       "   nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn...            1   1999-01-02   03:04:05\n"},
      {"big", 0x80, 4294967295u, kEarly,
       "   big                                   4294967295   1999-01-02   03:04:05\n"},
      // Bytes that would break the line or drive a terminal show as "?".
      {"a\nb\x1b[2J\x7f", 0x80, 0, kEarly,
       "   a?b?[2J?                                       0   1999-01-02   03:04:05\n"},
      {"unconvertible", 0x80, 7, CalendarTime{0, 0, 0, 0, 0, 0},
       "   unconvertible                                  7      0-00-00   00:00:00\n"},
  };
  for (const LineCase& c : kCases) {
    char line[kEntryLineSize];
    FormatEntryLine(MakeEntry(c.name, c.attributes, c.size), c.local, line);
    EXPECT_STREQ(c.expected, line) << c.name;
    EXPECT_EQ(76u, strlen(line)) << c.name;
  }
}

}  // namespace
