// The console that /P pages on: clearing it and reading single keys.
#ifndef TROVIX_PLATFORM_CONSOLE_H_
#define TROVIX_PLATFORM_CONSOLE_H_

// The console that standard output writes to, or null when it is not one.
struct Console;
Console* GetConsoleOutput();

struct ConsoleSize {
  int bottomRow;  // the window's bottom row index
  int columns;    // where a longer line wraps; 0 when unknown
};
// Clears the whole screen and its scrollback, puts the cursor at the top
// left, and gives the window's size.
ConsoleSize ClearScreen(Console* console);
// Waits for one key press from the console, not echoed; gives its code,
// or -1 at once when there is no console to read.
int ReadKey();

#endif  // TROVIX_PLATFORM_CONSOLE_H_
