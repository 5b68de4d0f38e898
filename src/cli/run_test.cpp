#include "cli/run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/records.h"
#include "platform/platform.h"

namespace {

struct ParseCase {
  std::vector<const char*> arguments;  // after the program name
  bool accepted;
  const char* startPath;
  const char* fileSpec;
  const char* searchText;
  bool caseSensitive, caseInsensitive, pause;
};

std::string Show(const char* text) { return text ? text : "(none)"; }

template <size_t N>
void ExpectParses(const ParseCase (&cases)[N]) {
  for (const ParseCase& c : cases) {
    gSettings = SearchSettings();
    std::vector<char*> argv = {const_cast<char*>("trovix")};
    for (const char* argument : c.arguments) argv.push_back(const_cast<char*>(argument));
    std::string where = "arguments starting " + Show(c.arguments[0]);
    bool accepted = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    ASSERT_EQ(c.accepted, accepted) << where;
    if (!accepted) continue;
    EXPECT_EQ(Show(c.startPath), Show(gSettings.startPath)) << where;
    EXPECT_EQ(Show(c.fileSpec), Show(gSettings.fileSpec)) << where;
    EXPECT_EQ(Show(c.searchText), Show(gSettings.searchText)) << where;
    EXPECT_EQ(c.caseSensitive, gSettings.caseSensitive) << where;
    EXPECT_EQ(c.caseInsensitive, gSettings.caseInsensitive) << where;
    EXPECT_EQ(c.pause, gSettings.pause) << where;
  }
}

TEST(ParseCommandLineTest, ScansSwitchesAndPositionals) {
  const ParseCase kCases[] = {
      {{"*.txt"}, true, "*.txt", nullptr, nullptr, false, false, false},
      // The text need not follow its switch directly; a later text wins.
      {{"*.txt", "/C", "/P", "word"}, true, "*.txt", nullptr, "word", true, false, true},
      {{"*.txt", "/C", "a", "/C", "b"}, true, "*.txt", nullptr, "b", true, false, false},
      {{"*.txt", "/C", "a", "/I", "b"}, true, "*.txt", nullptr, "b", true, true, false},
      {{"*.txt", "/c"}, true, "*.txt", nullptr, nullptr, true, false, false},
      {{"*.txt", "/p", "/P"}, true, "*.txt", nullptr, nullptr, false, false, true},
      {{"x", "*.txt", "/i", ""}, true, "x", "*.txt", "", false, true, false},
      {{"/C", "text"}, true, nullptr, nullptr, "text", true, false, false},
      // Rejected.
      {{"*.txt", "/?"}, false, nullptr, nullptr, nullptr, false, false, false},
      {{"*.txt", "/X"}, false, nullptr, nullptr, nullptr, false, false, false},
      {{"*.txt", "/"}, false, nullptr, nullptr, nullptr, false, false, false},
      {{"a", "b", "c"}, false, nullptr, nullptr, nullptr, false, false, false},
      {{"*.txt", "/p", "c:\\"}, false, nullptr, nullptr, nullptr, false, false, false},
      {{"*.txt", "/C", "a", "b"}, false, nullptr, nullptr, nullptr, false, false, false},
  };
  ExpectParses(kCases);
}

// Where a path may begin with "/", only "/" and one more character make a
// switch; elsewhere every argument that begins with "/" is one, and only
// its second character counts.
TEST(ParseCommandLineTest, TellsSwitchesFromPathsByThePlatformRule) {
  const ParseCase kPathsMayStartWithSlash[] = {
      {{"/usr", "*.h"}, true, "/usr", "*.h", nullptr, false, false, false},
      {{"/usr/include", "*.h", "/i", "mutex"},
       true, "/usr/include", "*.h", "mutex", false, true, false},
      {{"*.txt", "/C", "/capture"}, true, "*.txt", nullptr, "/capture", true, false, false},
      {{"/Pause", "*.txt"}, true, "/Pause", "*.txt", nullptr, false, false, false},
      {{"*.txt", "/Pause"}, true, "*.txt", "/Pause", nullptr, false, false, false},
  };
  const ParseCase kSlashStartsSwitches[] = {
      {{"c:\\", "*.doc", "/i", "budget"}, true, "c:\\", "*.doc", "budget", false, true, false},
      {{"*.txt", "/Pause"}, true, "*.txt", nullptr, nullptr, false, false, true},
      {{"*.txt", "/cx", "word"}, true, "*.txt", nullptr, "word", true, false, false},
      {{"*.txt", "/C", "/capture"}, true, "*.txt", nullptr, nullptr, true, false, false},
      {{"/usr", "*.h"}, false, nullptr, nullptr, nullptr, false, false, false},
      {{"/Pause", "*.txt"}, false, nullptr, nullptr, nullptr, false, false, false},
  };
  if (kSlashMayStartPath)
    ExpectParses(kPathsMayStartWithSlash);
  else
    ExpectParses(kSlashStartsSwitches);
}

}  // namespace
