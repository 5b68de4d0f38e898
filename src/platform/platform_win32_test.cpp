#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Extended(const std::string& path) {
  return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

std::string CurrentDir() {
  char buffer[4096];
  GetCurrentDir(buffer, sizeof buffer);
  return buffer;
}

// A chain of directories whose paths run far past MAX_PATH, with a file at
// the bottom, in a fresh folder under the temporary directory.  Made once
// for all the tests: a directory made again could take a deleted one's file
// index, and the walked record lasts as long as the process.
class DeepTreeTest : public ::testing::Test {
 protected:
  static const int kLevels = 16;

  static void SetUpTestSuite() {
    startDir_ = CurrentDir();
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
    std::string base = std::string(temp) + "trovix-platform-test-" +
                       std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(Extended(base).c_str(), nullptr));
    paths_.push_back(base);
    for (int i = 0; i < kLevels; ++i) {
      names_.push_back("level" + std::to_string(i) + "-" + std::string(40, 'x'));
      paths_.push_back(paths_.back() + "\\" + names_.back());
      ASSERT_TRUE(CreateDirectoryW(Extended(paths_.back()).c_str(), nullptr));
    }
    bottomFile_ = paths_.back() + "\\bottom.txt";
    HANDLE file = CreateFileW(Extended(bottomFile_).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written;
    WriteFile(file, "at the bottom", 13, &written, nullptr);
    CloseHandle(file);
  }

  static void TearDownTestSuite() {
    SetCurrentDir(startDir_.c_str());
    DeleteFileW(Extended(bottomFile_).c_str());
    for (auto path = paths_.rbegin(); path != paths_.rend(); ++path)
      RemoveDirectoryW(Extended(*path).c_str());
  }

  void SetUp() override { ASSERT_EQ(kLevels + 1u, paths_.size()); }

  static std::vector<std::string> paths_;  // the base folder, then each level
  static std::vector<std::string> names_;
  static std::string bottomFile_;
  static std::string startDir_;
};

std::vector<std::string> DeepTreeTest::paths_;
std::vector<std::string> DeepTreeTest::names_;
std::string DeepTreeTest::bottomFile_;
std::string DeepTreeTest::startDir_;

TEST_F(DeepTreeTest, WalksDownAndBackUpPastMaxPath) {
  ASSERT_GT(paths_.back().size(), 600u);
  ASSERT_TRUE(SetCurrentDir(paths_[0].c_str()));
  for (int i = 0; i < kLevels; ++i) {
    ASSERT_TRUE(SetCurrentDir(names_[i].c_str())) << paths_[i + 1];
    EXPECT_EQ(paths_[i + 1], CurrentDir());
  }
  for (int i = kLevels; i > 0; --i) {
    ASSERT_TRUE(SetCurrentDir("..")) << paths_[i];
    EXPECT_EQ(paths_[i - 1], CurrentDir());
  }
}

TEST_F(DeepTreeTest, ShortBufferGetsTheStartOfTheDeepPath) {
  ASSERT_TRUE(SetCurrentDir(paths_.back().c_str()));
  char header[260];
  memset(header, 'z', sizeof header);
  GetCurrentDir(header, sizeof header);
  EXPECT_EQ(paths_.back().substr(0, 259), std::string(header));
}

TEST_F(DeepTreeTest, EnumeratesAndReadsAtTheBottom) {
  ASSERT_TRUE(SetCurrentDir(paths_.back().c_str()));
  FindEntry entry;
  Enumeration* matches = FindFirstEntry("*.txt", kFullDetail, &entry);
  ASSERT_NE(nullptr, matches);
  EXPECT_STREQ("bottom.txt", entry.name);
  EXPECT_EQ(13u, entry.sizeLow);
  EXPECT_EQ(0u, entry.attributes & kDirectoryAttribute);
  FindEntry next;
  EXPECT_FALSE(FindNextEntry(matches, &next));
  CloseEnumeration(matches);

  FileHandle file = OpenEntryForReading(&entry);
  ASSERT_NE(kNoFile, file);
  char block[64];
  size_t got = ReadFileBlock(file, block, sizeof block);
  EXPECT_EQ("at the bottom", std::string(block, got));
  EXPECT_EQ(0u, ReadFileBlock(file, block, sizeof block));
  CloseFile(file);

  // A directory is never opened as a file.
  ASSERT_TRUE(SetCurrentDir(".."));
  matches = FindFirstEntry(names_.back().c_str(), kFullDetail, &entry);
  ASSERT_NE(nullptr, matches);
  CloseEnumeration(matches);
  ASSERT_NE(0u, entry.attributes & kDirectoryAttribute);
  EXPECT_EQ(kNoFile, OpenEntryForReading(&entry));
}

TEST_F(DeepTreeTest, RefusalLeavesTheCurrentDirectory) {
  ASSERT_TRUE(SetCurrentDir(paths_.back().c_str()));
  const char* kRefused[] = {"bottom.txt", "missing"};
  for (const char* name : kRefused) {
    EXPECT_FALSE(SetCurrentDir(name)) << name;
    EXPECT_EQ(paths_.back(), CurrentDir()) << name;
  }
  ASSERT_TRUE(SetCurrentDir(paths_[1].c_str()));
  for (const char* name : kRefused) {
    EXPECT_FALSE(SetCurrentDir(name)) << name;
    EXPECT_EQ(paths_[1], CurrentDir()) << name;
  }
}

// The only test that claims directories of the tree.
TEST_F(DeepTreeTest, ClaimsEachDirectoryOnce) {
  ASSERT_TRUE(SetCurrentDir(paths_[kLevels - 1].c_str()));
  EXPECT_TRUE(ClaimCurrentDirectory());
  EXPECT_FALSE(ClaimCurrentDirectory());
  ASSERT_TRUE(SetCurrentDir(names_.back().c_str()));
  EXPECT_TRUE(ClaimCurrentDirectory());
  ASSERT_TRUE(SetCurrentDir(".."));
  EXPECT_FALSE(ClaimCurrentDirectory());
}

TEST(LastWriteToLocalTest, UnconvertibleTimeGivesZeros) {
  CalendarTime local = {1, 1, 1, 1, 1, 1};
  LastWriteToLocal(0x8000000000000000ULL, &local);
  EXPECT_EQ(0u, local.year + local.month + local.day + local.hour + local.minute + local.second);
}

}  // namespace
