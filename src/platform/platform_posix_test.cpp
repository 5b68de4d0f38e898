#include "platform/platform.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

namespace {

// In a/d when d moves away and a goes, ".." still leads back to a, by its handle, and
// finds it empty: no child of other (c least of all) may be entered from there.
TEST(ReshapedTreeTest, NoWayBackMeansNoFurtherStepDown) {
  std::string root = testing::TempDir() + "trovix-unit-XXXXXX";
  ASSERT_TRUE(mkdtemp(&root[0]) && SetCurrentDir(root.c_str()));
  ASSERT_EQ(0, system(("cd '" + root + "' && mkdir -p a/d other/c").c_str()));
  EXPECT_TRUE(SetCurrentDir("a") && SetCurrentDir("d"));
  EXPECT_EQ(0, system(("cd '" + root + "' && mv a/d other && rmdir a").c_str()));
  EXPECT_TRUE(SetCurrentDir(".."));
  EXPECT_FALSE(SetCurrentDir("c"));
  EXPECT_TRUE(SetCurrentDir("..") && SetCurrentDir("other") && SetCurrentDir("c"));
  char here[4096];
  GetCurrentDir(here, sizeof here);
  EXPECT_EQ(root + "/other/c", here);
  EXPECT_EQ(0, system(("rm -rf '" + root + "'").c_str()));
}

}  // namespace
