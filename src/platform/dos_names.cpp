#include "platform/dos_names.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

unsigned char UpperAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

}  // namespace

DosPattern CompileDosPattern(const char* pattern) {
  DosPattern compiled;
  compiled.matchesAll = false;
  compiled.matchesNothing = false;

  std::string text(pattern);
  bool typedEndsInDot = !text.empty() && text.back() == '.';
  while (!text.empty() && (text.back() == '.' || text.back() == ' '))
    text.pop_back();
  // A name never holds a separator, so a pattern with one matches nothing.
  if (text.empty() || text.find_first_of("/\\") != std::string::npos) {
    compiled.matchesNothing = true;
    return compiled;
  }
  if (text == "*.*") {
    compiled.program.push_back(kAnyRun);
  } else {
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      const char next = i + 1 < text.size() ? text[i + 1] : '\0';
      if (c == '?')
        compiled.program.push_back(kDosQm);
      else if (c == '.' && (next == '?' || next == '*'))
        compiled.program.push_back(kDosDot);
      else if (c == '*' && next == '.')
        compiled.program.push_back(kDosStar);
      else if (c == '*')
        compiled.program.push_back(kAnyRun);
      else
        compiled.program.push_back(UpperAscii(static_cast<unsigned char>(c)));
    }
    if (typedEndsInDot && compiled.program.back() == kAnyRun) compiled.program.back() = kDosStar;
  }

  compiled.matchesAll = true;
  for (int op : compiled.program) {
    if (op != kAnyRun) compiled.matchesAll = false;
  }
  return compiled;
}

// Simulates the pattern as a set of positions, one name byte at a time, so
// no pattern can make a match take more than length(pattern) x length(name)
// steps.
bool MatchesDosPattern(const DosPattern& pattern, const char* name) {
  if (pattern.matchesNothing) return false;
  if (pattern.matchesAll) return true;

  const std::vector<int>& program = pattern.program;
  const size_t size = program.size();
  const size_t length = strlen(name);
  const char* lastDot = strrchr(name, '.');
  const size_t finalDot = lastDot ? static_cast<size_t>(lastDot - name) : length;

  // Kept between calls: a walk matches every name of every directory.
  static std::vector<char> current, next;
  current.assign(size + 1, 0);
  next.assign(size + 1, 0);
  current[0] = 1;
  for (size_t at = 0;; ++at) {
    const bool atEnd = at == length;
    const unsigned char c = atEnd ? 0 : static_cast<unsigned char>(name[at]);
    // Positions reachable without taking a byte of the name.
    for (size_t p = 0; p < size; ++p) {
      if (!current[p]) continue;
      const int op = program[p];
      if (op == kAnyRun || op == kDosStar ||
          (op == kDosQm && (atEnd || c == '.')) || (op == kDosDot && atEnd))
        current[p + 1] = 1;
    }
    if (atEnd) return current[size] != 0;

    std::fill(next.begin(), next.end(), 0);
    bool any = false;
    for (size_t p = 0; p < size; ++p) {
      if (!current[p]) continue;
      const int op = program[p];
      if (op == kAnyRun) {
        next[p] = 1;
      } else if (op == kDosStar) {
        if (at != finalDot) next[p] = 1;
      } else if (op == kDosQm) {
        if (c != '.') next[p + 1] = 1;
      } else if (op == kDosDot) {
        if (c == '.') next[p + 1] = 1;
      } else if (op == UpperAscii(c)) {
        next[p + 1] = 1;
      }
    }
    for (size_t p = 0; p <= size; ++p) any |= next[p] != 0;
    if (!any) return false;
    current.swap(next);
  }
}

bool NameSortsBefore(const char* left, const char* right) {
  const unsigned char* l = reinterpret_cast<const unsigned char*>(left);
  const unsigned char* r = reinterpret_cast<const unsigned char*>(right);
  for (size_t i = 0;; ++i) {
    unsigned char a = UpperAscii(l[i]), b = UpperAscii(r[i]);
    if (a != b) return a < b;
    if (a == 0) break;
  }
  return strcmp(left, right) < 0;
}
