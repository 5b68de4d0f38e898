#include "output/pager.h"

#include "cli/run.h"

PagerState gPager;

void SetUpPager(Console* console) {
  if (!console) return;
  gPager.active = true;
  gPager.pageRows = ClearScreen(console);
  PrintBanner();
}

void StartPageCount() { gPager.linesOnPage = 5; }

void PageTick() {
  ++gPager.linesOnPage;
  if (!gPager.active || gPager.linesOnPage <= gPager.pageRows - 1) return;
  Print("... Press a key to continue (or Quit) ...");
  int key = ReadKey();
  Print("\n");
  if (key == 'q' || key == 'Q') EndProcess(0);
  gPager.linesOnPage = 0;
}
