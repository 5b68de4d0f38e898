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

int RowsOfPrompt() { return RowsOfLine(strlen(kPrompt)); }

// The rows a page may fill and still leave room for the prompt below them.
int RowsForListing() { return gPager.rows - RowsOfPrompt(); }

void TakeConsoleSize() {
  ConsoleSize size = ReadConsoleSize(gPager.console);
  gPager.rows = size.rows;
  gPager.columns = size.columns;
}

// Each line ended by a newline; what follows the last one is the line the
// cursor stands on, not yet filled.
int RowsOfText(const std::string& text) {
  int rows = 0;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    rows += RowsOfLine(end - start);
  return rows;
}

// The window may have been resized while the prompt waited: the next page
// takes its new size.  A prompt that wraps is cleared, or its last row would
// stay above the next page as a stray piece of text.
void Prompt() {
  Print("%s", kPrompt);
  int key = ReadKey();
  if (key == 'q' || key == 'Q') {
    Print("\n");
    EndProcess(0);
  }
  TakeConsoleSize();
  if (RowsOfPrompt() > 1)
    ClearLastRows(gPager.console, RowsOfPrompt());
  else
    Print("\n");
  gPager.linesOnPage = 0;
}

}  // namespace

void SetUpPager(Console* console) {
  if (!console) return;
  gPager.console = console;
  ClearScreen(console);
  TakeConsoleSize();
  PrintBanner();
}

void StartPageCount(const char* searchHeader) {
  gPager.linesOnPage = RowsOfText(std::string(kBanner) + searchHeader);
}

void MakeRoomForLine(size_t length) {
  // A line of one row always fits: the count prompts as soon as the page is
  // full.
  int rows = RowsOfLine(length);
  if (gPager.console && rows > 1 && gPager.linesOnPage > 0 &&
      gPager.linesOnPage + rows > RowsForListing())
    Prompt();
}

void PageTick(size_t length) {
  gPager.linesOnPage += RowsOfLine(length);
  if (gPager.console && gPager.linesOnPage >= RowsForListing()) Prompt();
}
