#include "platform/platform.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

// A tree that another process reshapes while the walk is inside it.
class ReshapedTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, getcwd(saved_, sizeof saved_));
    const char* temp = getenv("TMPDIR");
    std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/trovix-unit-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(&pattern[0]));
    root_ = pattern.c_str();
  }
  void TearDown() override {
    ASSERT_EQ(0, chdir(saved_));
    ASSERT_EQ(0, system(("rm -rf '" + root_ + "'").c_str()));
  }
  void MakeDir(const std::string& relative) {
    ASSERT_EQ(0, mkdir((root_ + "/" + relative).c_str(), 0755));
  }
  std::string CurrentPath() {
    char path[PATH_MAX];
    GetCurrentDir(path, sizeof path);
    return path;
  }

  char saved_[PATH_MAX];
  std::string root_;
};

TEST_F(ReshapedTreeTest, NoWayBackMeansNoFurtherStepDown) {
  // The walk is in a/b when b moves to other/b and a goes away: ".." leads
  // into other, and a cannot be entered by its path any more.  other/c must
  // not then be entered as if it were a/c.
  MakeDir("a");
  MakeDir("a/b");
  MakeDir("other");
  MakeDir("other/c");
  ASSERT_TRUE(SetCurrentDir(root_.c_str()));
  ASSERT_TRUE(SetCurrentDir("a"));
  ASSERT_TRUE(SetCurrentDir("b"));
  ASSERT_EQ(0, rename((root_ + "/a/b").c_str(), (root_ + "/other/b").c_str()));
  ASSERT_EQ(0, rmdir((root_ + "/a").c_str()));

  EXPECT_FALSE(SetCurrentDir(".."));
  EXPECT_FALSE(SetCurrentDir("c"));
  // One more level up is a directory that is still there: the walk goes on.
  EXPECT_TRUE(SetCurrentDir(".."));
  EXPECT_EQ(root_, CurrentPath());
  EXPECT_TRUE(SetCurrentDir("other"));
  EXPECT_TRUE(SetCurrentDir("c"));
  EXPECT_EQ(root_ + "/other/c", CurrentPath());
}

TEST_F(ReshapedTreeTest, MovedDirectoryIsLeftForItsLogicalParent) {
  MakeDir("a");
  MakeDir("a/b");
  MakeDir("z");
  ASSERT_TRUE(SetCurrentDir(root_.c_str()));
  ASSERT_TRUE(SetCurrentDir("a"));
  ASSERT_TRUE(SetCurrentDir("b"));
  ASSERT_EQ(0, rename((root_ + "/a/b").c_str(), (root_ + "/z/b").c_str()));
  EXPECT_TRUE(SetCurrentDir(".."));
  EXPECT_EQ(root_ + "/a", CurrentPath());
  struct stat here, a;
  ASSERT_EQ(0, stat(".", &here));
  ASSERT_EQ(0, stat((root_ + "/a").c_str(), &a));
  EXPECT_EQ(a.st_ino, here.st_ino);
}

}  // namespace
