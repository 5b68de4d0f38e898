#include "platform/directory_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <string>

#include "platform/platform.h"

namespace {

class GivenUpDirectoryTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = testing::TempDir() + "trovix-unit-XXXXXX";
    ASSERT_TRUE(mkdtemp(&root_[0]));
    ASSERT_EQ(0, Shell("mkdir -p a/d b/e other .spare"));
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &saved_));
  }
  void TearDown() override {
    setrlimit(RLIMIT_NOFILE, &saved_);
    InitDirectories();
    Shell("cd .. && rm -rf '" + root_ + "'");
  }
  int Shell(const std::string& command) {
    return system(("cd '" + root_ + "' && " + command).c_str());
  }
  // Leaves room for three descriptors beside those open now.
  void AllowThreeMore() {
    struct rlimit low = saved_;
    low.rlim_cur = 0;
    for (int fd = 0; fd < 1024; ++fd) low.rlim_cur += fcntl(fd, F_GETFD) != -1 ? 1 : 0;
    low.rlim_cur += 3;
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &low));
    InitDirectories();
  }

  std::string root_;
  struct rlimit saved_;
};

// Under a low limit the directories nobody holds give their descriptors up
// and are opened again by their paths, but only where the same directory
// still stands: one moved away, or another put in its place, is never
// worked in.
TEST_F(GivenUpDirectoryTest, IsOpenedAgainOnlyWhereItStillStands) {
  AllowThreeMore();
  DirectoryFacts facts;
  Directory* top = OpenStartDirectory(root_.c_str(), &facts);
  ASSERT_TRUE(top && HoldDirectory(top));
  Listing* listing = ReadListing(top);  // .spare, a, b, other
  ReleaseDirectory(top);
  ASSERT_TRUE(listing && ListingSize(listing) == 4);
  Directory* a = OpenSubdirectory(top, listing, 1, &facts);
  Directory* b = OpenSubdirectory(top, listing, 2, &facts);
  Directory* other = OpenSubdirectory(top, listing, 3, &facts);
  ASSERT_TRUE(a && b && other);
  ASSERT_TRUE(HoldDirectory(other));
  TakeDescriptors(2);  // as a file searched does: every other descriptor goes
  GiveBackDescriptors(2);
  // The old b stays, elsewhere, so that the new one cannot take its number.
  ASSERT_EQ(0, Shell("mv a/d other && rmdir a && mv b gone && mv .spare b"));
  EXPECT_FALSE(HoldDirectory(a));
  EXPECT_FALSE(HoldDirectory(b));
  ASSERT_TRUE(HoldDirectory(top));
  Listing* again = ReadListing(top);
  ReleaseDirectory(top);
  ASSERT_TRUE(again);
  EXPECT_EQ(3u, ListingSize(again));
  EXPECT_EQ(root_ + "/other", DirectoryPath(other));
  ReleaseDirectory(other);
  FreeListing(again);
  FreeListing(listing);
  for (Directory* directory : {a, b, other, top}) CloseDirectory(directory);
}

}  // namespace
