#include "platform/dos_names.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

unsigned char UpperAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

bool IsWildcard(int op) { return op >= kAnyRun; }

}  // namespace

namespace {

// A star, plain or DOS, followed by a literal that holds a "." matches
// exactly the names that end with the literal: the name's final dot then
// lies inside the literal, where the DOS star never has to take it.
DosPatternShape ShapeOf(const std::vector<int>& program) {
  size_t wildcards = 0;
  for (int op : program) wildcards += IsWildcard(op) ? 1 : 0;
  if (wildcards == program.size()) {
    bool plainStars = std::count(program.begin(), program.end(), kAnyRun) ==
                      static_cast<std::ptrdiff_t>(program.size());
    return plainStars ? kMatchesAll : kGeneral;
  }
  if (wildcards == 0) return kWholeName;
  if (wildcards == 1 &&
      (program[0] == kAnyRun || (program[0] == kDosStar && program[1] == '.')))
    return kSuffix;
  return kGeneral;
}

// Rewrites the pattern as Windows does before matching: trailing dots and
// blanks go, "?" becomes DOS_QM, and "." and "*" next to wildcards or at
// the end become DOS_DOT and DOS_STAR; letters are upper-cased.
std::vector<int> RewritePattern(std::string text) {
  bool typedEndsInDot = !text.empty() && text.back() == '.';
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  if (text == "*.*") return {kAnyRun};
  std::vector<int> program;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '?')
      program.push_back(kDosQm);
    else if (c == '.' && (next == '?' || next == '*'))
      program.push_back(kDosDot);
    else if (c == '*')
      program.push_back(next == '.' ? kDosStar : kAnyRun);
    else
      program.push_back(UpperAscii(static_cast<unsigned char>(c)));
  }
  if (typedEndsInDot && !program.empty() && program.back() == kAnyRun) program.back() = kDosStar;
  return program;
}

bool EqualsFolded(const char* name, const int* upper, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (UpperAscii(static_cast<unsigned char>(name[i])) != upper[i]) return false;
  }
  return true;
}

}  // namespace

DosPattern CompileDosPattern(const char* pattern) {
  DosPattern compiled;
  compiled.program = RewritePattern(pattern);
  // A name never holds a separator, so a pattern with one matches nothing.
  if (compiled.program.empty() || strpbrk(pattern, "/\\") != nullptr) {
    compiled.shape = kMatchesNothing;
    return compiled;
  }
  compiled.shape = ShapeOf(compiled.program);
  if (compiled.shape == kSuffix) compiled.program.erase(compiled.program.begin());
  return compiled;
}

// Simulates the pattern as a set of positions, one name byte at a time, so
// no pattern can make a match take more than length(pattern) x length(name)
// steps.
bool MatchesDosPattern(const DosPattern& pattern, const char* name) {
  const std::vector<int>& program = pattern.program;
  const size_t size = program.size();
  const size_t length = strlen(name);
  switch (pattern.shape) {
    case kMatchesAll:
      return true;
    case kMatchesNothing:
      return false;
    case kWholeName:
      return length == size && EqualsFolded(name, program.data(), size);
    case kSuffix:
      return length >= size && EqualsFolded(name + length - size, program.data(), size);
    case kGeneral:
      break;
  }

  const char* lastDot = strrchr(name, '.');
  const size_t finalDot = lastDot ? static_cast<size_t>(lastDot - name) : length;

  // Kept between calls, by each thread: a walk matches every name of every
  // directory.
  thread_local std::vector<char> current, next;
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

// Sorting a large directory compares many names that share a prefix: the
// bytes are compared as they are until the first difference, and the first
// difference also settles a tie between names that differ only in case.
bool NameSortsBefore(const char* left, const char* right) {
  const unsigned char* l = reinterpret_cast<const unsigned char*>(left);
  const unsigned char* r = reinterpret_cast<const unsigned char*>(right);
  size_t i = 0;
  while (l[i] == r[i]) {
    if (l[i] == 0) return false;
    ++i;
  }
  bool beforeAsBytes = l[i] < r[i];
  for (;; ++i) {
    unsigned char a = UpperAscii(l[i]), b = UpperAscii(r[i]);
    if (a != b) return a < b;
    if (a == 0) return beforeAsBytes;
  }
}

uint64_t NameSortPrefix(const char* name) {
  uint64_t prefix = 0;
  for (int i = 0; i < 8; ++i) {
    unsigned char c = *name ? UpperAscii(static_cast<unsigned char>(*name++)) : 0;
    prefix = prefix << 8 | c;
  }
  return prefix;
}
