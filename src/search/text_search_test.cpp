#include "search/text_search.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

typedef std::basic_string<unsigned char> Bytes;

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Folded(const Bytes& text) {
  Bytes folded = text;
  for (unsigned char& byte : folded) byte = FoldCase(byte);
  return folded;
}

// The end of the first occurrence, compared byte by byte from every
// start, or npos.
size_t ReferenceEnd(const Bytes& data, const Bytes& text, bool fold) {
  const Bytes key = fold ? Folded(text) : text;
  for (size_t start = 0; start + key.size() <= data.size(); ++start) {
    size_t i = 0;
    while (i < key.size() && (fold ? FoldCase(data[start + i]) : data[start + i]) == key[i]) ++i;
    if (i == key.size()) return start + key.size();
  }
  return Bytes::npos;
}

// Feeds data through a stream in blocks of the given sizes; gives the
// index of the block in which the text was found, or -1.
int BlockWhereFound(const Bytes& data, const Bytes& text, bool fold,
                    const std::vector<size_t>& blockSizes) {
  const Bytes key = fold ? Folded(text) : text;
  TextPlan plan;
  PlanTextSearch(key.data(), key.size(), fold, &plan);
  TextStream stream;
  StartTextStream(plan, &stream);
  size_t offset = 0;
  for (size_t block = 0; block < blockSizes.size(); ++block) {
    size_t size = blockSizes[block];
    memcpy(NextBlockSpace(&stream), data.data() + offset, size);
    offset += size;
    if (BlockCompletesText(plan, &stream, size)) return static_cast<int>(block);
  }
  return -1;
}

bool Contains(const std::string& data, const std::string& text, bool fold) {
  return BlockWhereFound(ToBytes(data), ToBytes(text), fold, {data.size()}) == 0;
}

struct CaseRule {
  std::string data;
  std::string text;
  bool fold;
  bool found;
};

// The case rules of /I, and occurrences that begin inside a partial match.
TEST(TextSearchTest, KnownCases) {
  const CaseRule kRules[] = {
      {"a Budget here", "Budget", false, true},
      {"only BUDGET", "Budget", false, false},
      {"xxBuDgEtxx", "bUdGeT", true, true},
      {"BUDGE", "budget", true, false},
      // Non-letters that differ from others in the case bit stay apart.
      {"@[\\^_", "`", true, false},
      {"[", "{", true, false},
      {"{", "[", true, false},
      {"[{", "{", true, true},
      // Bytes from 0x80 up are never folded.
      {"caf\xc9", "caf\xe9", true, false},
      {"CAF\xe9", "caf\xe9", true, true},
      {"\xff\xfe\x80", "\xfe\x80", false, true},
      {std::string("a\0b", 3), std::string("\0B", 2), true, true},
      {"aab", "ab", false, true},
      {"aaab", "aab", false, true},
      {"abaabab", "abab", false, true},
      {"abcabcabd", "abcabd", false, true},
      {"abcabcab", "abcabd", false, false},
      {"AaAb", "aab", true, true},
      {"", "a", false, false},
      {"anything", "", true, true},
  };
  for (const CaseRule& rule : kRules)
    EXPECT_EQ(rule.found, Contains(rule.data, rule.text, rule.fold))
        << rule.text << " in " << rule.data << (rule.fold ? " /I" : " /C");
}

// Near-misses of a text that repeats itself make the probes hold at
// nearly every start; the answer must not change when the scan gives up
// comparing from each start.
TEST(TextSearchTest, SelfRepeatingTextsInRepeatingBytes) {
  const std::string run(3 * kReadBlockSize, 'a');
  const std::string longA(5000, 'a');
  const CaseRule kRules[] = {
      {run + "b", longA + "b", false, true},
      {run + "c", longA + "b", false, false},
      {run + "B", longA + "b", true, true},
      {run.substr(7) + "ab", "aaaaaaab", false, true},
  };
  for (const CaseRule& rule : kRules) {
    Bytes data = ToBytes(rule.data), text = ToBytes(rule.text);
    std::vector<size_t> blocks;
    for (size_t left = data.size(); left > 0; left -= blocks.back())
      blocks.push_back(std::min(left, kReadBlockSize));
    int expected = rule.found ? static_cast<int>(blocks.size() - 1) : -1;
    EXPECT_EQ(expected, BlockWhereFound(data, text, rule.fold, blocks))
        << text.size() << "-byte text, fold " << rule.fold;
  }
}

// Random bytes from a small alphabet, so texts occur, nearly occur and
// overlap often; random texts, some longer than a block or repeating a
// short unit; random block sizes, from one byte to a full block.  The
// stream must report the first occurrence in the block where it ends.
TEST(TextSearchTest, AgreesWithReferenceOnRandomBlocks) {
  std::mt19937 random(20240613);
  const std::string kAlphabets[] = {"ab", "aAbB", "xyz\xe1\xc1", std::string("e\0E", 3),
                                    "mutexMUTEX[{@`"};
  for (int round = 0; round < 3000; ++round) {
    const std::string& alphabet = kAlphabets[round % 5];
    auto pick = [&] { return static_cast<unsigned char>(alphabet[random() % alphabet.size()]); };
    bool fold = random() % 2 == 0;

    Bytes text;
    size_t textLength = random() % 50 == 0 ? kReadBlockSize + random() % 300 : random() % 24;
    if (random() % 4 == 0 && textLength > 0) {
      Bytes unit;
      for (size_t i = 1 + random() % 3; i > 0; --i) unit += pick();
      while (text.size() < textLength) text += unit;
      text.resize(textLength);
      if (random() % 2) text.back() = pick();
    } else {
      for (size_t i = 0; i < textLength; ++i) text += pick();
    }

    Bytes data;
    size_t dataLength = random() % (3 * kReadBlockSize);
    for (size_t i = 0; i < dataLength; ++i) data += pick();
    if (random() % 3 == 0 && dataLength >= text.size()) {
      Bytes planted = text;
      if (fold) {
        for (unsigned char& byte : planted)
          if (random() % 2 && byte >= 'A' && byte <= 'Z') byte |= 0x20;
      }
      data.replace(random() % (dataLength - text.size() + 1), text.size(), planted);
    }

    std::vector<size_t> blocks;
    for (size_t left = data.size(); left > 0; left -= blocks.back()) {
      size_t most = random() % 3 == 0 ? kReadBlockSize : std::min<size_t>(kReadBlockSize, 64);
      blocks.push_back(std::min(left, 1 + random() % most));
    }

    size_t end = ReferenceEnd(data, text, fold);
    int expected = -1;
    if (text.empty()) {
      expected = blocks.empty() ? -1 : 0;
    } else if (end != Bytes::npos) {
      size_t through = 0;
      for (expected = 0; through + blocks[expected] < end; ++expected) through += blocks[expected];
    }
    ASSERT_EQ(expected, BlockWhereFound(data, text, fold, blocks))
        << "round " << round << ", " << text.size() << "-byte text in " << data.size()
        << " bytes, " << blocks.size() << " blocks, fold " << fold;
  }
}

}  // namespace
