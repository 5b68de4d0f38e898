#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <conio.h>
#include <stdio.h>

#include "platform/console.h"
#include "platform/output.h"

struct Console {
  HANDLE handle;
};

namespace {
Console gConsole;
}  // namespace

Console* GetConsoleOutput() {
  if (!StandardOutputIsConsole()) return nullptr;
  gConsole.handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return &gConsole;
}

namespace {

// Blanks count whole rows of the screen buffer from the row first, in the
// colours of the text, and puts the cursor at that row's start.
void BlankRowsFrom(Console* console, SHORT first, DWORD count) {
  fflush(stdout);
  const COORD start = {0, first};
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  DWORD written;
  GetConsoleScreenBufferInfo(console->handle, &info);
  DWORD cells = static_cast<DWORD>(info.dwSize.X) * count;
  FillConsoleOutputCharacterA(console->handle, ' ', cells, start, &written);
  FillConsoleOutputAttribute(console->handle, info.wAttributes, cells, start, &written);
  SetConsoleCursorPosition(console->handle, start);
}

}  // namespace

// Lines wrap at the width of the screen buffer, which may be wider than the
// window.
ConsoleSize ReadConsoleSize(Console* console) {
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  GetConsoleScreenBufferInfo(console->handle, &info);
  return ConsoleSize{info.srWindow.Bottom - info.srWindow.Top + 1, info.dwSize.X};
}

void ClearScreen(Console* console) {
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  GetConsoleScreenBufferInfo(console->handle, &info);
  BlankRowsFrom(console, 0, static_cast<DWORD>(info.dwSize.Y));
}

void ClearLastRows(Console* console, int count) {
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  fflush(stdout);
  GetConsoleScreenBufferInfo(console->handle, &info);
  SHORT first = static_cast<SHORT>(info.dwCursorPosition.Y - (count - 1));
  BlankRowsFrom(console, first < 0 ? 0 : first, static_cast<DWORD>(count));
}

// A key without a character (an arrow, a function key) arrives as two
// codes, 0 or 0xE0 and then its scan code; both belong to one press, and
// the scan code of Page Down equals "Q", so the press gives its first code.
int ReadKey() {
  int key = _getch();
  if (key == EOF) return -1;
  if (key == 0 || key == 0xE0) _getch();
  return key;
}
