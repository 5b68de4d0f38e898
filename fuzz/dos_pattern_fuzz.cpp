// The wildcard matcher against a plain recursive reading of the same rules.
// Input: a pattern, then a name; each is cut at its first NUL, as the C
// strings they stand for would be.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/dos_names.h"

namespace {

enum Op { kLiteral, kAnyRun, kStarBeforeDot, kQuestion, kDotBeforeWild };

struct Token {
  Op op;
  unsigned char byte;
};

unsigned char Upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// False when the pattern matches nothing at all.
bool Rewrite(const std::string& typed, std::vector<Token>* tokens) {
  std::string text = typed;
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  if (text.empty() || text.find_first_of("/\\") != std::string::npos) return false;
  if (text == "*.*") {
    tokens->push_back({kAnyRun, 0});
    return true;
  }
  const bool typedEndsInDot = typed.back() == '.';
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    const bool last = i + 1 == text.size();
    Op op = kLiteral;
    if (c == '?')
      op = kQuestion;
    else if (c == '.' && (next == '?' || next == '*'))
      op = kDotBeforeWild;
    else if (c == '*' && (next == '.' || (last && typedEndsInDot)))
      op = kStarBeforeDot;
    else if (c == '*')
      op = kAnyRun;
    tokens->push_back({op, static_cast<unsigned char>(c)});
  }
  return true;
}

struct Reference {
  const std::vector<Token>& tokens;
  const std::string& name;
  size_t finalDot;            // of the name; npos without a dot
  std::vector<signed char> memo;  // only so that many stars stay fast

  bool Match(size_t t, size_t n) {
    signed char& known = memo[t * (name.size() + 1) + n];
    if (known < 0) known = Step(t, n);
    return known;
  }

  bool Step(size_t t, size_t n) {
    const bool atEnd = n == name.size();
    if (t == tokens.size()) return atEnd;
    const unsigned char c = atEnd ? 0 : static_cast<unsigned char>(name[n]);
    switch (tokens[t].op) {
      case kAnyRun:
        return Match(t + 1, n) || (!atEnd && Match(t, n + 1));
      case kStarBeforeDot:
        return Match(t + 1, n) || (!atEnd && n != finalDot && Match(t, n + 1));
      case kQuestion:
        if (atEnd || c == '.') return Match(t + 1, n);
        return Match(t + 1, n + 1);
      case kDotBeforeWild:
        if (atEnd) return Match(t + 1, n);
        return c == '.' && Match(t + 1, n + 1);
      case kLiteral:
        return !atEnd && Upper(c) == Upper(tokens[t].byte) && Match(t + 1, n + 1);
    }
    return false;
  }
};

bool ReferenceMatches(const std::string& pattern, const std::string& name) {
  std::vector<Token> tokens;
  if (!Rewrite(pattern, &tokens)) return false;
  Reference reference{tokens, name, name.rfind('.'), {}};
  reference.memo.assign((tokens.size() + 1) * (name.size() + 1), -1);
  return reference.Match(0, 0);
}

std::string Printable(const std::string& text) {
  std::string shown;
  char hex[8];
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      shown += static_cast<char>(c);
    } else {
      snprintf(hex, sizeof hex, "\\x%02x", c);
      shown += hex;
    }
  }
  return shown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::string pattern = input.ConsumeRandomLengthString(300);
  std::string name = input.ConsumeRemainingBytesAsString();
  pattern = pattern.substr(0, pattern.find('\0'));
  name = name.substr(0, name.find('\0'));
  if (name.empty() || name.size() > 255) return 0;  // no directory holds such a name

  const bool expected = ReferenceMatches(pattern, name);
  const bool actual = MatchesDosPattern(CompileDosPattern(pattern.c_str()), name.c_str());
  if (expected != actual) {
    fprintf(stderr, "pattern \"%s\" name \"%s\": reference %d, matcher %d\n",
            Printable(pattern).c_str(), Printable(name).c_str(), expected, actual);
    abort();
  }
  return 0;
}
