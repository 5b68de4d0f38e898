#include "output/pager.h"

#include <string.h>

#include <string>

#include "output/banner.h"

PagerState gPager;

namespace {

const char kPrompt[] = "... Press a key to continue (or Quit) ...";

int RowsOfLine(size_t length) {
  if (gPager.columns <= 0 || length == 0) return 1;
  return static_cast<int>((length + gPager.columns - 1) / gPager.columns);
}

// The rows a page may fill and still leave room for the prompt below them.
int RowsForListing() { return gPager.pageRows + 1 - RowsOfLine(strlen(kPrompt)); }

// Each line ended by a newline; what follows the last one is the line the
// cursor stands on, not yet filled.
int RowsOfText(const std::string& text) {
  int rows = 0;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    rows += RowsOfLine(end - start);
  return rows;
}

void Prompt() {
  Print("%s", kPrompt);
  int key = ReadKey();
  Print("\n");
  if (key == 'q' || key == 'Q') EndProcess(0);
  gPager.linesOnPage = 0;
}

}  // namespace

void SetUpPager(Console* console) {
  if (!console) return;
  gPager.active = true;
  ConsoleSize size = ClearScreen(console);
  gPager.pageRows = size.bottomRow;
  gPager.columns = size.columns;
  PrintBanner();
}

void StartPageCount(const char* searchHeader) {
  gPager.linesOnPage = RowsOfText(std::string(kBanner) + searchHeader);
}

void MakeRoomForLine(size_t length) {
  // A line of one row always fits: the count prompts as soon as the page is
  // full.
  int rows = RowsOfLine(length);
  if (gPager.active && rows > 1 && gPager.linesOnPage > 0 &&
      gPager.linesOnPage + rows > RowsForListing())
    Prompt();
}

void PageTick(size_t length) {
  gPager.linesOnPage += RowsOfLine(length);
  if (gPager.active && gPager.linesOnPage >= RowsForListing()) Prompt();
}
