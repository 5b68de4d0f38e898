#include "platform/dos_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

TEST(DosPatternTest, MatchesAsWindowsDoes) {
  const MatchCase kCases[] = {
      // "*.txt": the star may take dots, but not the final one.
      {"*.txt", ".txt", true},
      {"*.txt", "a.b.txt", true},
      {"*.txt", "a.txt.bak", false},
      {"*.txt", "A.TXT", true},
      {"*.TXT", "notes.txt", true},
      {"*.txt", "atxt", false},
      // "*.*" and "*" match everything, dots or not.
      {"*.*", "plain", true},
      {"*.*", "a.b", true},
      {"*.*", ".", true},
      {"*", "x.y.z", true},
      {"**", "x", true},
      // "*." matches only names without a dot.
      {"*.", "plain", true},
      {"*.", "a.b", false},
      {"*.", ".hidden", false},
      // "?" takes exactly one character, or nothing at a dot or the end.
      {"a?c", "ac", false},
      {"a?c", "abc", true},
      {"a?c", "a.c", false},
      {"a?", "a", true},
      {"a??", "ab", true},
      {"a?.txt", "a.txt", true},
      {"a?.txt", "ab.txt", true},
      {"a?.txt", "abc.txt", false},
      {"??.", "a", true},
      {"??.", "aa", true},
      {"??.", "aaa", false},
      // ".*" matches only names that begin with a dot.
      {".*", ".profile", true},
      {".*", "..", true},
      {".*", "profile", false},
      {"*.a", "..a", true},
      {"*.a", "a..a", true},
      {"a*.*", "abc", true},
      {"a*.*", "bc", false},
      // Trailing dots and blanks are dropped from the pattern.
      {"readme. ", "README", true},
      {"readme...", "readme", true},
      // Case folds for ASCII letters only.
      {"\xc3\xa9*", "\xc3\x89t\xc3\xa9", false},
      {"\xc3\xa9*", "\xc3\xa9t\xc3\xa9", true},
      {"_*", "_x", true},
      // A typed control byte is a plain character, whatever value the
      // wildcards are kept as.
      {"\x01", "x", false},
      {"\x02", "\\", false},
      {"a\x03", "a", false},
      {"\x01\x02\x03", "\x01\x02\x03", true},
      // Nothing matches an empty pattern or one with a path in it.
      {"", "a", false},
      {"...", "a", false},
      {"sub/*.h", "a.h", false},
      {"sub\\*.h", "a.h", false},
  };
  for (const MatchCase& c : kCases) {
    EXPECT_EQ(c.matches, MatchesDosPattern(CompileDosPattern(c.pattern), c.name))
        << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
  }
}

TEST(DosPatternTest, LongNamesAndPatternsStayLinear) {
  std::string name(255, 'a');
  std::string pattern;
  for (int i = 0; i < 60; ++i) pattern += "*a";
  pattern += "b";
  EXPECT_FALSE(MatchesDosPattern(CompileDosPattern(pattern.c_str()), name.c_str()));
  name.back() = 'b';
  EXPECT_TRUE(MatchesDosPattern(CompileDosPattern(pattern.c_str()), name.c_str()));
}

// The shortcuts for whole names and suffixes must agree with the general
// simulation of the same rewritten pattern.
TEST(DosPatternTest, ShortcutsAgreeWithTheSimulation) {
  const char* const kPatterns[] = {"*.h", "*.H", "*.tar.gz", "*log", "*.", "readme.txt", "a b",
                                   "*a.", "*.*.", "**.h"};
  const char* const kNames[] = {"x.h", ".h", "h", "x.h.bak", "a.tar.gz", "tar.gz", "syslog", "log",
                                "README.TXT", "readme.txt.", "a b", "a.b", "cba", "..h", "x.H"};
  for (const char* text : kPatterns) {
    DosPattern fast = CompileDosPattern(text);
    DosPattern general = fast;
    general.shape = kGeneral;
    if (fast.shape == kSuffix)
      general.program.insert(general.program.begin(), fast.program[0] == '.' ? kDosStar : kAnyRun);
    for (const char* name : kNames) {
      EXPECT_EQ(MatchesDosPattern(general, name), MatchesDosPattern(fast, name))
          << "pattern \"" << text << "\" name \"" << name << "\"";
    }
  }
}

TEST(NameOrderTest, SortsAsNtfsDoes) {
  std::vector<std::string> names = {"_x", "a1", "Zz", "aB", "B", "b", "a", "\xe9", "~", "A"};
  std::sort(names.begin(), names.end(), [](const std::string& l, const std::string& r) {
    return NameSortsBefore(l.c_str(), r.c_str());
  });
  const std::vector<std::string> kExpected = {"A", "a", "a1", "aB", "B", "b", "Zz", "_x", "~", "\xe9"};
  EXPECT_EQ(kExpected, names);
}

}  // namespace
