#include "search/content_filter.h"

#include <string.h>

#include "common/records.h"
#include "output/listing.h"
#include "search/text_search.h"

namespace {

// Planned on the first file, when the settings are final; the stream's
// window is one buffer reused for every file of the run.
TextPlan gPlan;
TextStream gStream;
bool gPlanned = false;

const TextPlan& RunPlan() {
  if (!gPlanned) {
    const char* text = gSettings.caseInsensitive ? gSettings.foldedText : gSettings.searchText;
    PlanTextSearch(reinterpret_cast<const unsigned char*>(text), strlen(text),
                   gSettings.caseInsensitive, &gPlan);
    gPlanned = true;
  }
  return gPlan;
}

}  // namespace

void PrepareFoldedText() {
  size_t length = strlen(gSettings.searchText);
  gSettings.foldedText = new char[length + 1];
  for (size_t i = 0; i < length; ++i)
    gSettings.foldedText[i] =
        static_cast<char>(FoldCase(static_cast<unsigned char>(gSettings.searchText[i])));
  gSettings.foldedText[length] = '\0';
}

// The empty text is held by every file, an empty one too, so nothing
// needs to be read for it.
bool FileContainsText(FileHandle file) {
  const TextPlan& plan = RunPlan();
  if (plan.length == 0) return true;
  StartTextStream(plan, &gStream);
  for (;;) {
    size_t got = ReadFileBlock(file, NextBlockSpace(&gStream), kReadBlockSize);
    if (got == 0) return false;
    if (BlockCompletesText(plan, &gStream, got)) return true;
  }
}

void PrintEntryIfItContainsText(const FindEntry& entry) {
  FindEntry opened = entry;
  FileHandle file = OpenEntryForReading(&opened);
  if (file == kNoFile) return;
  if (FileContainsText(file)) PrintEntry(opened);
  CloseFile(file);
}
