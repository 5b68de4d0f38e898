#include "search/content_filter.h"

#include <string.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <unordered_map>

#include "common/records.h"
#include "output/listing.h"
#include "search/text_search.h"

namespace {

// The answers for files that other names lead to, and for large files,
// once searched, so that such a file reached again, through a link or by
// another hard link, is not read again: a library and the links to it are
// the common case, and a link met before its file is not known to be one
// by the file.  Shared by every thread, and bounded, so memory stays flat
// however many links a tree holds.
// A file is known by what changes when its contents can have: a file
// deleted during the run whose number a new file takes, or one written
// since, is a different file here.
struct FileKey {
  uint64_t volume;
  uint64_t file;
  uint64_t size;
  uint64_t lastWriteTime;
  uint64_t changeTime;
  bool operator==(const FileKey& other) const {
    return volume == other.volume && file == other.file && size == other.size &&
           lastWriteTime == other.lastWriteTime && changeTime == other.changeTime;
  }
};

struct FileKeyHash {
  size_t operator()(const FileKey& key) const {
    uint64_t mixed = key.file ^ key.volume << 32 ^ key.changeTime;
    return static_cast<size_t>(mixed * 0x9E3779B97F4A7C15ULL >> 16);
  }
};

// The answer for a file, or kBeingRead while a thread reads it: another
// thread that meets the same file then waits for that answer rather than
// read it a second time, as two links side by side often make it do.
enum Answer { kUnknown, kBeingRead, kHolds, kLacks };

const size_t kMostRememberedFiles = 16384;
const uint64_t kLargeFile = 1 << 20;

struct SearchedFiles {
  std::mutex lock;
  std::condition_variable answered;
  std::unordered_map<FileKey, Answer, FileKeyHash> answers;
  std::atomic<bool> any{false};  // read without the lock, so most runs never take it
};

// The filter's state for the run, shared by every thread; never freed, so a
// worker still searching when the process ends finds it whole.
struct ContentFilter {
  TextPlan plan;  // planned once the settings are final
  SearchedFiles searched;
};
ContentFilter* gFilter = new ContentFilter;

bool IsWorthRemembering(const FileIdentity& identity) {
  return identity.hasOtherNames || identity.size >= kLargeFile;
}

// The file's answer when it is known, waiting for it while another thread
// reads the file.  Otherwise kUnknown, and a file worth remembering is
// marked as this thread's to read and settle.
Answer ClaimFile(const FileKey& key, bool worthRemembering) {
  SearchedFiles& searched = gFilter->searched;
  if (!worthRemembering && !searched.any.load(std::memory_order_acquire)) return kUnknown;
  std::unique_lock<std::mutex> hold(searched.lock);
  for (;;) {
    auto known = searched.answers.find(key);
    if (known == searched.answers.end()) break;
    if (known->second != kBeingRead) return known->second;
    searched.answered.wait(hold);
  }
  if (worthRemembering && searched.answers.size() < kMostRememberedFiles) {
    searched.answers.emplace(key, kBeingRead);
    searched.any.store(true, std::memory_order_release);
  }
  return kUnknown;
}

void SettleFile(const FileKey& key, bool holds) {
  SearchedFiles& searched = gFilter->searched;
  {
    std::lock_guard<std::mutex> hold(searched.lock);
    auto claimed = searched.answers.find(key);
    if (claimed == searched.answers.end()) return;
    claimed->second = holds ? kHolds : kLacks;
  }
  searched.answered.notify_all();
}

bool ReadUntilText(const TextPlan& plan, FileHandle file, TextStream* stream) {
  StartTextStream(plan, stream);
  for (;;) {
    // No text runs across a hole: it reads as zero bytes, and no text
    // holds one.
    if (SkipHole(file)) StartTextStream(plan, stream);
    size_t got = ReadFileBlock(file, NextBlockSpace(stream), kReadBlockSize);
    if (got == 0) return false;
    if (BlockCompletesText(plan, stream, got)) return true;
  }
}

}  // namespace

void PrepareFoldedText() {
  size_t length = strlen(gSettings.searchText);
  gSettings.foldedText = new char[length + 1];
  for (size_t i = 0; i < length; ++i)
    gSettings.foldedText[i] =
        static_cast<char>(FoldCase(static_cast<unsigned char>(gSettings.searchText[i])));
  gSettings.foldedText[length] = '\0';
  const char* text = gSettings.caseInsensitive ? gSettings.foldedText : gSettings.searchText;
  PlanTextSearch(reinterpret_cast<const unsigned char*>(text), strlen(text),
                 gSettings.caseInsensitive, &gFilter->plan);
}

// The empty text is held by every file, an empty one too, so nothing
// needs to be read for it.
bool FileContainsText(FileHandle file, TextStream* stream) {
  const TextPlan& plan = gFilter->plan;
  if (plan.length == 0) return true;
  FileIdentity identity;
  if (!IdentifyFile(file, &identity)) return ReadUntilText(plan, file, stream);
  FileKey key = {identity.volume, identity.file, identity.size, identity.lastWriteTime,
                 identity.changeTime};
  bool worthRemembering = IsWorthRemembering(identity);
  Answer known = ClaimFile(key, worthRemembering);
  if (known != kUnknown) return known == kHolds;
  bool holds = ReadUntilText(plan, file, stream);
  if (worthRemembering) SettleFile(key, holds);
  return holds;
}
