// The content matcher against the library's search, for /C and /I, fed in blocks of random
// sizes as short reads give: the first occurrence is reported in the block where it ends.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>

#include "search/text_search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const bool fold = input.ConsumeBool();
  static const size_t kLargestCuts[] = {1, 3, 16, 300, 4096, kReadBlockSize};
  const size_t largestCut = input.PickValueInArray(kLargestCuts);
  std::minstd_rand cuts(input.ConsumeIntegral<uint32_t>());
  const int copies = input.ConsumeIntegralInRange(1, 9);
  std::string text = input.ConsumeRandomLengthString(80).c_str(), bytes;  // a C string
  if (text.empty()) return 0;  // held by every file before a byte is read
  const std::string unit = input.ConsumeRemainingBytesAsString();
  for (int i = 0; i < copies; ++i) bytes += unit;  // occurrences across full blocks too

  // Upper-cased copies for /I, as /I plans its text.
  std::string planned = text, searched = bytes;
  for (std::string* copy : {&planned, &searched})
    for (char& c : *copy) c = fold && c >= 'a' && c <= 'z' ? c - 32 : c;
  const size_t at = searched.find(planned);
  const size_t firstEnd = at == std::string::npos ? 0 : at + text.size();
  TextPlan plan;
  PlanTextSearch(reinterpret_cast<const unsigned char*>(planned.data()), planned.size(), fold,
                 &plan);
  TextStream stream;
  StartTextStream(plan, &stream);
  size_t delivered = 0, block = 0;
  bool found = false;
  while (!found && delivered < bytes.size()) {
    block = std::min(bytes.size() - delivered, 1 + cuts() % largestCut);
    unsigned char* space = NextBlockSpace(&stream);
    memcpy(space, bytes.data() + delivered, block);
    // The text past the block, where an occurrence could start in it and end beyond it.
    for (size_t i = block; i < std::min(kReadBlockSize, block + 2 * text.size() + 64); ++i)
      space[i] = planned[(i - block) % planned.size()];
    delivered += block;
    found = BlockCompletesText(plan, &stream, block);
  }
  // Found exactly when the text occurs, in the block where its first occurrence ends.
  if (found ? delivered < firstEnd || delivered - block >= firstEnd : firstEnd != 0) abort();
  return 0;
}
