#include "platform/dos_names.h"

#include <gtest/gtest.h>

namespace {

TEST(DosNamesTest, MatchesAndSortsAsWindowsDoes) {
  // By rule: stars (one before a dot, or ending a pattern typed with a final dot, never takes
  // the name's final dot); "?", and a dot before a wildcard; trimming and case; no match.
  const struct { const char* pattern; const char* name; int matches; } kCases[] = {
      {"*.txt", ".txt", 1}, {"*.txt", "a.b.txt", 1}, {"*.txt", "a.txt.bak", 0},
      {"*.TXT", "b.txt", 1}, {"*.txt", "atxt", 0}, {"*.tar.gz", "tar.gz", 0}, {"*log", "log", 1},
      {"*.*", "plain", 1}, {"*.*", ".", 1}, {"**", "x.y", 1}, {"a*", "ab.c", 1}, {"*.a", "a..a", 1},
      {"*.", "ab", 1}, {"*.", "a.b", 0}, {"*.", ".hidden", 0}, {"a*.", "ab.c", 0},
      {"a?c", "ac", 0}, {"a?c", "abc", 1}, {"a?c", "a.c", 0}, {"a?", "a", 1}, {"??.", "aa", 1},
      {"??.", "aaa", 0}, {"a?.txt", "a.txt", 1}, {"a?.txt", "abc.txt", 0}, {".*", ".profile", 1},
      {".*", "profile", 0}, {"a.*", "a", 1}, {"a*.*", "abc", 1}, {"a*.*", "bc", 0},
      {"readme. ", "README", 1}, {"read.me", "READ.ME", 1}, {"\xc3\xa9*", "\xc3\x89t", 0},
      {"\xc3\xa9?", "\xc3\xa9", 1}, {"a\x01", "a", 0}, {"", "a", 0}, {"...", "a", 0},
      {"sub/*.h", "sub/a.h", 0}, {"a\\b", "a\\b", 0},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(c.matches != 0, MatchesDosPattern(CompileDosPattern(c.pattern), c.name))
        << c.pattern << " " << c.name;
  // NTFS order: a-z as A-Z, ties broken by the raw bytes.
  // The prefix of eight folded bytes never contradicts the whole comparison.
  const char* kSorted[] = {"A", "a", "a1", "aB", "abcdefgh", "ABCDEFGHa", "abcdefghA", "abcdefgh_",
                           "B", "b", "Zz", "_x", "~", "\xe9"};
  for (size_t i = 1; i < sizeof kSorted / sizeof kSorted[0]; ++i)
    EXPECT_TRUE(NameSortsBefore(kSorted[i - 1], kSorted[i]) &&
                !NameSortsBefore(kSorted[i], kSorted[i - 1]) &&
                NameSortPrefix(kSorted[i - 1]) <= NameSortPrefix(kSorted[i])) << kSorted[i];
}

}  // namespace
