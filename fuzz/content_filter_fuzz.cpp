// The content test against a naive search over the same bytes, delivered in
// blocks of random sizes, as short reads from a disk or a pipe may come.
// Also checks how it reads: once, front to back, and no further than the
// block in which the first occurrence ends.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>

#include "common/records.h"
#include "output/listing.h"
#include "platform/platform.h"
#include "search/content_filter.h"

namespace {

// The file the content test reads through ReadFileBlock.
struct FakeFile {
  std::string bytes;
  size_t delivered;      // bytes handed out so far
  size_t lastBlock;      // size of the last non-empty block
  bool endSeen;          // a read has given 0
  std::minstd_rand cuts;
  size_t largestCut;     // 0: each read fills what it asks for
};

FakeFile gFile;

void Require(bool holds, const char* what) {
  if (holds) return;
  fprintf(stderr, "broken: %s\n", what);
  abort();
}

unsigned char Fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Where the first occurrence ends, or npos.  An empty text occurs before any
// byte is read.
size_t NaiveFirstEnd(const std::string& bytes, const std::string& text, bool fold) {
  for (size_t start = 0; start + text.size() <= bytes.size(); ++start) {
    size_t i = 0;
    while (i < text.size()) {
      unsigned char b = bytes[start + i], t = text[i];
      if (fold ? Fold(b) != Fold(t) : b != t) break;
      ++i;
    }
    if (i == text.size()) return start + text.size();
  }
  return std::string::npos;
}

}  // namespace

size_t ReadFileBlock(FileHandle, void* block, size_t size) {
  Require(size > 0, "a read of no bytes");
  Require(!gFile.endSeen, "a read after the end was seen");
  size_t left = gFile.bytes.size() - gFile.delivered;
  size_t give = left < size ? left : size;
  if (gFile.largestCut > 0 && give > 0) {
    size_t cut = 1 + gFile.cuts() % gFile.largestCut;
    if (cut < give) give = cut;
  }
  memcpy(block, gFile.bytes.data() + gFile.delivered, give);
  gFile.delivered += give;
  if (give > 0) gFile.lastBlock = give;
  if (give == 0) gFile.endSeen = true;
  return give;
}

// The rest of the platform and listing that the content filter links to;
// the test of an open file never reaches them.
FileHandle OpenFileForReading(const char*) { return kNoFile; }
void CloseFile(FileHandle) {}
void PrintEntry(const FindEntry&) { abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const bool fold = input.ConsumeBool();
  static const size_t kLargestCuts[] = {1, 3, 16, 300, 4096, 0};
  const size_t largestCut = input.PickValueInArray(kLargestCuts);
  const uint32_t seed = input.ConsumeIntegral<uint32_t>();
  const int copies = input.ConsumeIntegralInRange(1, 9);
  std::string text = input.ConsumeRandomLengthString(80);
  text = text.substr(0, text.find('\0'));  // the text is a C string
  std::string unit = input.ConsumeRemainingBytesAsString();
  std::string bytes;
  // Copies carry an occurrence past the real 16384-byte reads too.
  for (int i = 0; i < copies; ++i) bytes += unit;

  gFile = FakeFile{bytes, 0, 0, false, std::minstd_rand(seed), largestCut};
  gSettings = SearchSettings();
  gSettings.searchText = text.c_str();
  gSettings.caseSensitive = !fold;
  gSettings.caseInsensitive = fold;
  PrepareFoldedText();

  const bool found = FileContainsText(0);
  const size_t firstEnd = NaiveFirstEnd(bytes, text, fold);
  Require(found == (firstEnd != std::string::npos), "the result differs from a naive search");
  if (found && !text.empty()) {
    Require(gFile.delivered >= firstEnd, "found before the occurrence was read");
    Require(gFile.delivered - gFile.lastBlock < firstEnd, "read on past the occurrence");
  } else if (!found) {
    Require(gFile.endSeen && gFile.delivered == bytes.size(), "gave up before the end");
  }
  delete[] gSettings.foldedText;
  gSettings.foldedText = nullptr;
  return 0;
}
