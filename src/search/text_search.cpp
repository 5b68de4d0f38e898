#include "search/text_search.h"

#include <stdint.h>
#include <string.h>

#include <algorithm>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Every byte value ranked by how often it occurs in source code, prose and
// executables alike: 0 the rarest, 255 the most common (made by
// bench/byte_ranks.py).  Probing for rare bytes keeps false starts few.
const unsigned char kByteRank[256] = {
    252, 215, 198, 168, 159, 190, 143, 142, 212, 227, 241, 118,  86, 162,  77, 208,
    205, 149,  79, 119,  87, 123,  66,  82, 178,  73,  67,  83,  49, 103,  19, 154,
    255,  94, 177, 151, 242,  81,  96, 166, 228, 221, 200,  91, 229, 194, 224, 214,
    199, 222, 213, 189, 191, 155, 202, 137, 207, 164, 201, 195, 130, 220, 139,  74,
    185, 197, 153, 182, 216, 188, 171, 158, 251, 219,  99, 114, 226, 187, 176, 161,
    204, 100, 184, 193, 210, 165, 150, 132, 167, 121,  92, 125, 186, 174,  46, 250,
    145, 246, 225, 238, 235, 253, 233, 223, 231, 249,  93, 181, 243, 236, 248, 245,
    230, 140, 244, 247, 254, 239, 234, 206, 211, 203, 156, 146, 183, 135,  76,  72,
    152, 141,  52, 192, 196, 170, 104,  40, 133, 240,  30, 237, 169, 217,  50,  27,
    172,  39,  54,   4, 163,   9,  38,  14, 112,  31,  22,  61, 147,   1,   2,   0,
    107,  21,  26,  29,  64,  15,  24,  20, 102,  36,   7,   8,  42,   5,   3,  25,
    106,  18,  23,  16, 111,  10,  95,  28, 117,  98,  62, 115, 138,  45,  53, 131,
    173, 124,  85, 179, 160,  41, 113, 144, 126, 127,  80,  89, 232,   6,  69,  63,
    134, 105, 108,  90,  47,  12,  60,  55, 116, 110,  68, 128,  17,  13,  58,  56,
    101,  71,  57,  48,  70, 122,  43,  34, 218, 136,  35, 175, 120,  37,  32,  44,
    129,  59,  65,  51,  33,  11,  97,  75, 109,  84,  78,  88, 148, 157, 180, 209,
};

// ASCII letters differ from their other case in this bit alone.
const unsigned char kCaseBit = 0x20;

bool IsFoldedLetter(unsigned char byte) { return byte >= 'A' && byte <= 'Z'; }

// A folded letter stands for both cases, so it is as common as the more
// common of the two.
unsigned RankInText(unsigned char byte, bool fold) {
  if (fold && IsFoldedLetter(byte))
    return std::max(kByteRank[byte], kByteRank[byte | kCaseBit]);
  return kByteRank[byte];
}

size_t RarestOffset(const TextPlan& plan, size_t skip) {
  size_t best = plan.length;
  for (size_t i = 0; i < plan.length; ++i) {
    if (i == skip) continue;
    if (best == plan.length ||
        RankInText(plan.text[i], plan.fold) < RankInText(plan.text[best], plan.fold))
      best = i;
  }
  return best;
}

void SetProbe(TextPlan* plan, int probe, size_t offset) {
  unsigned char byte = plan->text[offset];
  unsigned char mask = plan->fold && IsFoldedLetter(byte) ? kCaseBit : 0;
  plan->probeOffset[probe] = offset;
  plan->probeMask[probe] = mask;
  plan->probeByte[probe] = static_cast<unsigned char>(byte | mask);
}

// How many of the text's bytes match from start on, before the first that
// does not.
size_t MatchedLength(const TextPlan& plan, const unsigned char* start) {
  size_t i = 0;
  if (plan.fold) {
    while (i < plan.length && FoldCase(start[i]) == plan.text[i]) ++i;
  } else {
    while (i < plan.length && start[i] == plan.text[i]) ++i;
  }
  return i;
}

// One byte at a time, never stepping back: linear however the text and
// the bytes repeat themselves.  Finds occurrences that start at from or
// later.
bool ScanByBorders(const TextPlan& plan, const unsigned char* bytes, size_t from,
                   size_t size) {
  size_t matched = 0;
  for (size_t i = from; i < size; ++i) {
    unsigned char byte = plan.fold ? FoldCase(bytes[i]) : bytes[i];
    while (matched > 0 && plan.text[matched] != byte) matched = plan.border[matched - 1];
    if (plan.text[matched] == byte && ++matched == plan.length) return true;
  }
  return false;
}

// Compares the whole text at each start whose probes hold.  Texts that
// repeat themselves, in bytes that repeat them, can make the probes hold
// nearly everywhere; once comparing has cost more than a pass over the
// bytes, the rest is left to ScanByBorders.
struct Candidates {
  const TextPlan& plan;
  const unsigned char* bytes;
  size_t size;
  size_t compared;
};

enum Verdict { kNoMatchYet, kFound, kAbsent };

Verdict CheckCandidate(Candidates* run, size_t start) {
  size_t matched = MatchedLength(run->plan, run->bytes + start);
  if (matched == run->plan.length) return kFound;
  run->compared += matched + 1;
  if (run->compared <= run->size) return kNoMatchYet;
  return ScanByBorders(run->plan, run->bytes, start + 1, run->size) ? kFound : kAbsent;
}

// Tests the probes at one start after another, from start on; gives the
// start where the scan ended.
size_t ScanStarts(Candidates* run, size_t start, size_t lastStart, Verdict* verdict) {
  const TextPlan& plan = run->plan;
  const unsigned char* probe0 = run->bytes + plan.probeOffset[0];
  const unsigned char* probe1 = run->bytes + plan.probeOffset[1];
  const unsigned char mask0 = plan.probeMask[0], byte0 = plan.probeByte[0];
  const unsigned char mask1 = plan.probeMask[1], byte1 = plan.probeByte[1];
  for (; start <= lastStart; ++start) {
    if ((probe0[start] | mask0) != byte0 || (probe1[start] | mask1) != byte1) continue;
    *verdict = CheckCandidate(run, start);
    if (*verdict != kNoMatchYet) break;
  }
  return start;
}

#if defined(__SSE2__)
#if defined(__AVX2__)
const size_t kLanes = 32;
typedef __m256i Lanes;
inline Lanes Broadcast(unsigned char byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
inline Lanes Load(const unsigned char* at) {
  return _mm256_loadu_si256(reinterpret_cast<const Lanes*>(at));
}
inline Lanes Or(Lanes a, Lanes b) { return _mm256_or_si256(a, b); }
inline Lanes And(Lanes a, Lanes b) { return _mm256_and_si256(a, b); }
inline Lanes Equal(Lanes a, Lanes b) { return _mm256_cmpeq_epi8(a, b); }
inline uint64_t LaneBits(Lanes a) { return static_cast<uint32_t>(_mm256_movemask_epi8(a)); }
#else
const size_t kLanes = 16;
typedef __m128i Lanes;
inline Lanes Broadcast(unsigned char byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
inline Lanes Load(const unsigned char* at) {
  return _mm_loadu_si128(reinterpret_cast<const Lanes*>(at));
}
inline Lanes Or(Lanes a, Lanes b) { return _mm_or_si128(a, b); }
inline Lanes And(Lanes a, Lanes b) { return _mm_and_si128(a, b); }
inline Lanes Equal(Lanes a, Lanes b) { return _mm_cmpeq_epi8(a, b); }
inline uint64_t LaneBits(Lanes a) { return static_cast<uint32_t>(_mm_movemask_epi8(a)); }
#endif

// Compares the text at each start whose bit is set in hits.
__attribute__((noinline)) Verdict CheckHits(Candidates* run, size_t start, uint64_t hits) {
  for (; hits != 0; hits &= hits - 1) {
    Verdict verdict = CheckCandidate(run, start + static_cast<size_t>(__builtin_ctzll(hits)));
    if (verdict != kNoMatchYet) return verdict;
  }
  return kNoMatchYet;
}

struct LaneProbes {
  const unsigned char* at0;
  const unsigned char* at1;
  Lanes mask0, byte0, mask1, byte1;
};

// All ones in the lanes of the kLanes starts from start where both probes
// hold.  Without case folding there is no mask to apply.
template <bool kFolding>
inline Lanes ProbeLanes(const LaneProbes& probes, size_t start) {
  Lanes a = Load(probes.at0 + start), b = Load(probes.at1 + start);
  if (kFolding) {
    a = Or(a, probes.mask0);
    b = Or(b, probes.mask1);
  }
  return And(Equal(a, probes.byte0), Equal(b, probes.byte1));
}

// Tests the probes at 4 * kLanes starts per step while it can, then at
// kLanes; gives the first start it has not looked at, or sets verdict to
// kFound or kAbsent.
template <bool kFolding>
size_t ScanLanesOf(Candidates* run, size_t lastStart, Verdict* verdict) {
  const TextPlan& plan = run->plan;
  const LaneProbes probes = {run->bytes + plan.probeOffset[0], run->bytes + plan.probeOffset[1],
                             Broadcast(plan.probeMask[0]), Broadcast(plan.probeByte[0]),
                             Broadcast(plan.probeMask[1]), Broadcast(plan.probeByte[1])};
  size_t start = 0;
  for (; start + 4 * kLanes - 1 <= lastStart; start += 4 * kLanes) {
    Lanes h0 = ProbeLanes<kFolding>(probes, start);
    Lanes h1 = ProbeLanes<kFolding>(probes, start + kLanes);
    Lanes h2 = ProbeLanes<kFolding>(probes, start + 2 * kLanes);
    Lanes h3 = ProbeLanes<kFolding>(probes, start + 3 * kLanes);
    if (LaneBits(Or(Or(h0, h1), Or(h2, h3))) == 0) continue;
    *verdict = CheckHits(run, start, LaneBits(h0) | LaneBits(h1) << kLanes);
    if (*verdict == kNoMatchYet)
      *verdict = CheckHits(run, start + 2 * kLanes, LaneBits(h2) | LaneBits(h3) << kLanes);
    if (*verdict != kNoMatchYet) return start;
  }
  for (; start + kLanes - 1 <= lastStart; start += kLanes) {
    uint64_t hits = LaneBits(ProbeLanes<kFolding>(probes, start));
    if (hits != 0 && (*verdict = CheckHits(run, start, hits)) != kNoMatchYet) return start;
  }
  return start;
}

size_t ScanLanes(Candidates* run, size_t lastStart, Verdict* verdict) {
  const TextPlan& plan = run->plan;
  if (plan.probeMask[0] == 0 && plan.probeMask[1] == 0)
    return ScanLanesOf<false>(run, lastStart, verdict);
  return ScanLanesOf<true>(run, lastStart, verdict);
}
#else
// Without vector instructions the C library's memchr, itself tuned on most
// systems, finds the starts where the first probe holds, unless that probe
// is a folded letter.
size_t ScanLanes(Candidates* run, size_t lastStart, Verdict* verdict) {
  const TextPlan& plan = run->plan;
  if (plan.probeMask[0] != 0) return 0;
  const unsigned char* probe0 = run->bytes + plan.probeOffset[0];
  size_t start = 0;
  for (; start <= lastStart; ++start) {
    const void* at = memchr(probe0 + start, plan.probeByte[0], lastStart + 1 - start);
    if (!at) return lastStart + 1;
    start = static_cast<size_t>(static_cast<const unsigned char*>(at) - probe0);
    if ((run->bytes[start + plan.probeOffset[1]] | plan.probeMask[1]) == plan.probeByte[1] &&
        (*verdict = CheckCandidate(run, start)) != kNoMatchYet)
      return start;
  }
  return start;
}
#endif

}  // namespace

unsigned char FoldCase(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 32) : byte;
}

void PlanTextSearch(const unsigned char* text, size_t length, bool fold, TextPlan* plan) {
  plan->text = text;
  plan->length = length;
  plan->fold = fold;
  plan->border.assign(length, 0);
  for (size_t i = 1, matched = 0; i < length; ++i) {
    while (matched > 0 && text[i] != text[matched]) matched = plan->border[matched - 1];
    if (text[i] == text[matched]) ++matched;
    plan->border[i] = matched;
  }
  if (length == 0) return;
  size_t first = RarestOffset(*plan, length);
  size_t second = length == 1 ? first : RarestOffset(*plan, first);
  SetProbe(plan, 0, first);
  SetProbe(plan, 1, second);
}

bool BytesContainText(const TextPlan& plan, const unsigned char* bytes, size_t size) {
  if (plan.length == 0) return true;
  if (size < plan.length) return false;
  const size_t lastStart = size - plan.length;
  Candidates run = {plan, bytes, size, 0};
  Verdict verdict = kNoMatchYet;
  size_t start = ScanLanes(&run, lastStart, &verdict);
  if (verdict == kNoMatchYet) ScanStarts(&run, start, lastStart, &verdict);
  return verdict == kFound;
}

void StartTextStream(const TextPlan& plan, TextStream* stream) {
  size_t carryRoom = plan.length > 0 ? plan.length - 1 : 0;
  stream->window.resize(carryRoom + kReadBlockSize);
  stream->carried = 0;
}

unsigned char* NextBlockSpace(TextStream* stream) {
  return stream->window.data() + stream->carried;
}

bool BlockCompletesText(const TextPlan& plan, TextStream* stream, size_t size) {
  size_t filled = stream->carried + size;
  if (BytesContainText(plan, stream->window.data(), filled)) return true;
  size_t keep = std::min(filled, plan.length > 0 ? plan.length - 1 : 0);
  memmove(stream->window.data(), stream->window.data() + filled - keep, keep);
  stream->carried = keep;
  return false;
}
