// The banner that begins every run, and the screen the pager clears.
#ifndef TROVIX_OUTPUT_BANNER_H_
#define TROVIX_OUTPUT_BANNER_H_

extern const char kBanner[];

void PrintBanner();

#endif  // TROVIX_OUTPUT_BANNER_H_
