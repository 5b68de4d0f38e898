// The console that /P pages on: clearing it and reading single keys.
#ifndef TROVIX_PLATFORM_CONSOLE_H_
#define TROVIX_PLATFORM_CONSOLE_H_

// The console that standard output writes to, or null when it is not one.
struct Console;
Console* GetConsoleOutput();

struct ConsoleSize {
  int rows;     // the window's height
  int columns;  // where a longer line wraps; 0 when unknown
};
// The window's size now; a person may resize it at any time.
ConsoleSize ReadConsoleSize(Console* console);
// Clears the whole screen and its scrollback and puts the cursor at the top
// left.
void ClearScreen(Console* console);
// Clears the row the cursor is on and the rows above it, count rows in all,
// and puts the cursor at the start of the topmost of them.
void ClearLastRows(Console* console, int count);
// Waits for one key press from the console, not echoed; gives its code,
// or -1 at once when there is no console to read.
int ReadKey();

#endif  // TROVIX_PLATFORM_CONSOLE_H_
