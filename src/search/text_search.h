// Looking for one text in bytes that arrive a block at a time.  Knows
// nothing of files: the content filter reads, this part only compares.
#ifndef TROVIX_SEARCH_TEXT_SEARCH_H_
#define TROVIX_SEARCH_TEXT_SEARCH_H_

#include <stddef.h>

#include <vector>

const size_t kReadBlockSize = 16384;

// "a"-"z" to "A"-"Z"; every other byte as it is.
unsigned char FoldCase(unsigned char byte);

// How to look for one text.  Most start positions are ruled out by two
// probe bytes of the text, its rarest, before the whole text is compared.
// With fold, the text is already folded, and a byte matches a text byte
// when its fold equals it.
struct TextPlan {
  const unsigned char* text;
  size_t length;
  bool fold;
  size_t probeOffset[2];
  unsigned char probeMask[2];  // or-ed into a byte before it is compared
  unsigned char probeByte[2];  // the probe's text byte, with its mask or-ed in
  // For each prefix of the text, the length of its longest proper prefix
  // that is also its suffix: lets a scan go on after a mismatch without
  // stepping back, for texts whose probes keep firing.
  std::vector<size_t> border;
};

void PlanTextSearch(const unsigned char* text, size_t length, bool fold, TextPlan* plan);

// True when the text occurs in bytes[0, size).  The empty text occurs
// everywhere.
bool BytesContainText(const TextPlan& plan, const unsigned char* bytes, size_t size);

// A stream searched block by block: the last length - 1 bytes seen so far,
// which may begin an occurrence that the next block completes, and room
// for that block right after them.
struct TextStream {
  std::vector<unsigned char> window;
  size_t carried;
};

void StartTextStream(const TextPlan& plan, TextStream* stream);
// Where the next block, of at most kReadBlockSize bytes, is to be placed.
unsigned char* NextBlockSpace(TextStream* stream);
// Looks through the block of size bytes just placed; true when an
// occurrence ends in it.
bool BlockCompletesText(const TextPlan& plan, TextStream* stream, size_t size);

#endif  // TROVIX_SEARCH_TEXT_SEARCH_H_
