// The wildcard matcher against Windows' documented rules read another way, as a regular
// expression with lookaheads; short names and patterns of few stars keep its backtracking fast.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <regex>
#include <string>

#include "platform/dos_names.h"

// Bytes map to U+0100 and up, where no character is special (a dot to U+012E); letters fold.
static std::wstring Char(unsigned char c) {
  return {static_cast<wchar_t>(0x100 + (c >= 'a' && c <= 'z' ? c - 32 : c))};
}

const wchar_t kRunButFinalDot[] = L"(?:(?!\u012e(?!.*\u012e)).)*";  // DOS_STAR
const wchar_t kNonDotOrNone[] = L"(?:(?!\u012e).|(?=\u012e|$))";      // DOS_QM
const wchar_t kDotOrEnd[] = L"(?:\u012e|$)";                           // DOS_DOT

static bool ReferenceMatches(std::string pattern, const std::string& name) {
  if (pattern.find_first_of("/\\") != std::string::npos) return false;
  const bool typedWithDot = !pattern.empty() && pattern.back() == '.';
  pattern.erase(pattern.find_last_not_of(". ") + 1);
  if (pattern.empty()) return false;
  if (pattern == "*.*") return true;
  std::wstring expression, subject;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const unsigned char c = pattern[i], next = i + 1 < pattern.size() ? pattern[i + 1] : 0;
    if (c == '*')
      expression += next == '.' || (next == 0 && typedWithDot) ? kRunButFinalDot : L".*";
    else if (c == '?')
      expression += kNonDotOrNone;
    else if (c == '.' && (next == '?' || next == '*'))
      expression += kDotOrEnd;
    else
      expression += Char(c);
  }
  for (unsigned char c : name) subject += Char(c);
  return std::regex_match(subject, std::wregex(expression));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string pattern = input.ConsumeRandomLengthString(10).c_str();  // C strings
  const std::string name = input.ConsumeBytesAsString(20).c_str();
  // No directory holds an empty name; more stars would only make the backtracking slow.
  if (name.empty() || std::count(pattern.begin(), pattern.end(), '*') > 3) return 0;
  const bool expected = ReferenceMatches(pattern, name);
  if (MatchesDosPattern(CompileDosPattern(pattern.c_str()), name.c_str()) == expected) return 0;
  fprintf(stderr, "\"%s\" \"%s\": the rules say %d\n", pattern.c_str(), name.c_str(), expected);
  abort();
}
