// The content matcher against a naive search over the same bytes, for "/C"
// and "/I", fed block by block as the content filter feeds it, in blocks of
// random sizes such as short reads give.  Also checks that it looks at no
// byte beyond a block, and that it reports an occurrence in the block where
// the occurrence ends, never later.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>

#include "search/text_search.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  fprintf(stderr, "broken: %s\n", what);
  abort();
}

unsigned char Fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Where the first occurrence ends, or npos.
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

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const bool fold = input.ConsumeBool();
  static const size_t kLargestCuts[] = {1, 3, 16, 300, 4096, kReadBlockSize};
  const size_t largestCut = input.PickValueInArray(kLargestCuts);
  std::minstd_rand cuts(input.ConsumeIntegral<uint32_t>());
  const int copies = input.ConsumeIntegralInRange(1, 9);
  std::string text = input.ConsumeRandomLengthString(80);
  text = text.substr(0, text.find('\0'));  // the text is a C string
  const std::string unit = input.ConsumeRemainingBytesAsString();
  std::string bytes;
  // Copies carry occurrences past the boundaries of full-sized blocks too.
  for (int i = 0; i < copies; ++i) bytes += unit;

  std::string planned = text;
  if (fold) {
    for (char& c : planned) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  }
  TextPlan plan;
  PlanTextSearch(Bytes(planned), planned.size(), fold, &plan);
  const size_t firstEnd = NaiveFirstEnd(bytes, text, fold);
  const bool expected = firstEnd != std::string::npos;
  Require(BytesContainText(plan, Bytes(bytes), bytes.size()) == expected,
          "the whole bytes: differs from a naive search");
  if (text.empty()) return 0;  // held by every file before a byte is read

  TextStream stream;
  StartTextStream(plan, &stream);
  size_t delivered = 0, lastBlock = 0;
  bool found = false;
  while (delivered < bytes.size()) {
    size_t block = std::min(bytes.size() - delivered, 1 + cuts() % largestCut);
    unsigned char* space = NextBlockSpace(&stream);
    memcpy(space, bytes.data() + delivered, block);
    // Whatever lies past the block must not count: put the text there,
    // where an occurrence could start in the block and end past it.
    const size_t poison = std::min(kReadBlockSize, block + 2 * planned.size() + 64);
    for (size_t i = block; i < poison; ++i) space[i] = planned[(i - block) % planned.size()];
    delivered += block;
    lastBlock = block;
    if (BlockCompletesText(plan, &stream, block)) {
      found = true;
      break;
    }
  }
  Require(found == expected, "block by block: differs from a naive search");
  if (found)
    Require(delivered >= firstEnd && delivered - lastBlock < firstEnd,
            "reported in another block than the one the occurrence ends in");
  return 0;
}
