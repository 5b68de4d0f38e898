// The pager: counts the terminal rows that output fills and, with "/P" on
// a console, waits for a key after each screenful.
#ifndef TROVIX_OUTPUT_PAGER_H_
#define TROVIX_OUTPUT_PAGER_H_

#include <stddef.h>

#include "platform/platform.h"

struct PagerState {
  Console* console;  // null unless "/P" was given and standard output is a console
  int rows;          // the console window's height, as at the last prompt
  int columns;       // where the console wraps a line; 0 when unknown
  int linesOnPage;   // rows filled since the page began
};

extern PagerState gPager;

// Clears the console, takes its size and shows the banner again at the top.
// Pages nothing when standard output is not a console.
void SetUpPager(Console* console);

// Starts the count for the first page with the rows that the banner and
// the search header fill.
void StartPageCount(const char* searchHeader);

// Prompts first when a line of that many characters would not fit on the
// page any more, so no row of the page scrolls away unseen.
void MakeRoomForLine(size_t length);

// Counts the rows of one printed line of that many characters, without its
// newline; prompts when the page is full, and ends the process with status
// 0 when the user quits.
void PageTick(size_t length);

#endif  // TROVIX_OUTPUT_PAGER_H_
