// Windows' rules for names, written out for platforms that lack them:
// wildcard matching as FindFirstFile applies it on NTFS, and the order in
// which NTFS enumerates a directory.
#ifndef TROVIX_PLATFORM_DOS_NAMES_H_
#define TROVIX_PLATFORM_DOS_NAMES_H_

#include <stdint.h>

#include <vector>

// Most patterns a user types have a shape that needs no simulation.
enum DosPatternShape {
  kMatchesAll,      // "*", "*.*" and the like
  kMatchesNothing,  // empty after trimming, or holds a path separator
  kWholeName,       // no wildcard: the name itself, "README.TXT"
  kSuffix,          // one leading star, then no wildcard: "*.h", "*log"
  kGeneral,         // anything else: simulated
};

// A pattern rewritten once, as Windows does before it matches: "?" and some
// "." and "*" become the DOS wildcards below.  The wildcards lie outside the
// byte range, so a typed byte that happens to share their value stays a
// plain character.
struct DosPattern {
  DosPatternShape shape;
  std::vector<int> program;  // upper-cased literal bytes 0-255 and the wildcard codes
                             // below; for kSuffix only the literal after the star
};

const int kAnyRun = 0x100;   // "*": any run of characters
const int kDosStar = 0x101;  // any run that does not take the final "."
const int kDosQm = 0x102;    // one character other than ".", or none at a "."/end
const int kDosDot = 0x103;   // a ".", or nothing at the end of the name

DosPattern CompileDosPattern(const char* pattern);

// True when the name matches; letters a-z and A-Z compare equal.
bool MatchesDosPattern(const DosPattern& pattern, const char* name);

// NTFS order: bytes compared with a-z upper-cased, ties broken by the raw
// bytes.
bool NameSortsBefore(const char* left, const char* right);

// A name's first eight bytes as NameSortsBefore weighs them, as one number:
// names whose numbers differ sort as their numbers do, and only names with
// equal numbers need the whole comparison.
uint64_t NameSortPrefix(const char* name);

#endif  // TROVIX_PLATFORM_DOS_NAMES_H_
