// Standard output: every message and listing line, and the end of the run.
#ifndef TROVIX_PLATFORM_OUTPUT_H_
#define TROVIX_PLATFORM_OUTPUT_H_

#include <stddef.h>

// One formatted print to standard output; on a console it is shown at once.
void Print(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The same for text already laid out.
void PrintText(const char* text, size_t length);
// Flushes standard output and ends the process with the status.
[[noreturn]] void EndProcess(int status);

// One line on standard error, "trovix: " and the text: for what goes wrong
// beside the listing, so that the listing itself stays as it is.
void Warn(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Ends a run that cannot go on (no memory, too few descriptors): what was
// printed stays, the reason goes to standard error, and the status is that
// of a failed run.
[[noreturn]] void FailRun(const char* reason);
// Makes a failed allocation anywhere end the run through FailRun.
void FailRunWhenMemoryRunsOut();

// Sets the buffering: each print shown at once on a console, large blocks
// elsewhere.
void InitOutput();

// What each build provides beneath the portable part.
bool StandardOutputIsConsole();
// Ends the run after a failed write: never a quiet success.
[[noreturn]] void FailOutput(int error);

#endif  // TROVIX_PLATFORM_OUTPUT_H_
