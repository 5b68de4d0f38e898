#include "search/content_filter.h"

#include <string.h>

#include "common/records.h"
#include "output/listing.h"
#include "search/text_search.h"

namespace {

// Planned once the settings are final and read by every thread; never
// freed, so a worker still searching when the process ends finds it whole.
const TextPlan* gPlan = nullptr;
// The window of the main thread's searches, one buffer reused for every
// file of the run.
TextStream gStream;

}  // namespace

void PrepareFoldedText() {
  size_t length = strlen(gSettings.searchText);
  gSettings.foldedText = new char[length + 1];
  for (size_t i = 0; i < length; ++i)
    gSettings.foldedText[i] =
        static_cast<char>(FoldCase(static_cast<unsigned char>(gSettings.searchText[i])));
  gSettings.foldedText[length] = '\0';
  const char* text = gSettings.caseInsensitive ? gSettings.foldedText : gSettings.searchText;
  TextPlan* plan = new TextPlan;
  PlanTextSearch(reinterpret_cast<const unsigned char*>(text), strlen(text),
                 gSettings.caseInsensitive, plan);
  gPlan = plan;
}

// The empty text is held by every file, an empty one too, so nothing
// needs to be read for it.
bool FileContainsText(FileHandle file, TextStream* stream) {
  const TextPlan& plan = *gPlan;
  if (plan.length == 0) return true;
  StartTextStream(plan, stream);
  for (;;) {
    size_t got = ReadFileBlock(file, NextBlockSpace(stream), kReadBlockSize);
    if (got == 0) return false;
    if (BlockCompletesText(plan, stream, got)) return true;
  }
}

void PrintEntryIfItContainsText(const FindEntry& entry) {
  FindEntry opened = entry;
  FileHandle file = OpenEntryForReading(&opened);
  if (file == kNoFile) return;
  if (FileContainsText(file, &gStream)) PrintEntry(opened);
  CloseFile(file);
}
