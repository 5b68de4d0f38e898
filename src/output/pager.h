// The pager: counts output lines and, with "/P" on a console, waits for a
// key after each screenful.
#ifndef TROVIX_OUTPUT_PAGER_H_
#define TROVIX_OUTPUT_PAGER_H_

#include "platform/platform.h"

struct PagerState {
  int pageRows;     // the console window's bottom row index
  int linesOnPage;  // lines counted since the page began
  bool active;      // "/P" was given and standard output is a console
};

extern PagerState gPager;

// Clears the console, takes its page size and shows the banner again at
// the top.  Pages nothing when standard output is not a console.
void SetUpPager(Console* console);

// Starts the count for the first page, which holds the banner and header.
void StartPageCount();

// Counts one output line; prompts when the page is full, and ends the
// process with status 0 when the user quits.
void PageTick();

#endif  // TROVIX_OUTPUT_PAGER_H_
