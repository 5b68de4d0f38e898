#include "search/text_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Each row goes to a stream at every split: a block that ends there, then blocks as large as
// they come.  The text is reported in the block where its first occurrence ends, at end (0: never).
TEST(TextSearchTest, ReportsTheBlockWhereTheFirstOccurrenceEnds) {
  const std::string dots(100, '.'), tildes(100, '~'), block(kReadBlockSize, 'a');
  const struct { std::string data, text; bool fold; size_t end; } kCases[] = {
      {"BUDGET, Budget", "Budget", false, 14}, {"xxBuDgEtxx", "BUDGET", true, 8},
      {"lazy", "Z", true, 3}, {"[`{", "{", true, 3}, {"caf\xc9 caf\xe9", "CAF\xe9", true, 9},
      {{"a\0b", 3}, {"\0B", 2}, true, 3}, {"abaabab", "abab", false, 7},
      {"abcabcabd", "abcabd", false, 9}, {"abcabcab", "abcabd", false, 0}, {"AaAb", "AAB", true, 4},
      // Many starts at once: probes inside the text, of a letter and not; near misses; long texts.
      {dots + "needle" + dots, "needle", false, 106}, {dots + "~QuIt" + dots, "~QUIT", true, 105},
      {dots + "~QUI" + dots, "~QUIT", true, 0}, {tildes + "x", "~~~x", false, 101},
      {tildes + "y", "~~~x", false, 0}, {"xy" + block + "ac", block + "b", false, 0},
      {"xy" + block + "ab", block + "b", false, kReadBlockSize + 4},
  };
  for (const auto& c : kCases) {
    TextPlan plan;
    PlanTextSearch(reinterpret_cast<const unsigned char*>(c.text.data()), c.text.size(), c.fold,
                   &plan);
    TextStream stream;
    for (size_t split = 1, at = 0, size = 0; split <= c.data.size(); ++split, at = 0) {
      bool found = false;
      for (StartTextStream(plan, &stream); !found && at < c.data.size(); at += size) {
        size = std::min(kReadBlockSize, (at < split ? split : c.data.size()) - at);
        std::copy_n(c.data.data() + at, size, NextBlockSpace(&stream));
        found = BlockCompletesText(plan, &stream, size);
      }
      ASSERT_TRUE(c.end ? found && at >= c.end && at - size < c.end : !found)
          << c.text.substr(0, 8) << " in " << c.data.size() << " bytes, split at " << split;
    }
  }
}

}  // namespace
