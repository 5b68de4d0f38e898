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

ConsoleSize ClearScreen(Console* console) {
  fflush(stdout);
  const COORD kTopLeft = {0, 0};
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  DWORD written;
  GetConsoleScreenBufferInfo(console->handle, &info);
  DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  FillConsoleOutputCharacterA(console->handle, ' ', cells, kTopLeft, &written);
  GetConsoleScreenBufferInfo(console->handle, &info);
  FillConsoleOutputAttribute(console->handle, info.wAttributes, cells, kTopLeft, &written);
  SetConsoleCursorPosition(console->handle, kTopLeft);
  GetConsoleScreenBufferInfo(console->handle, &info);
  return ConsoleSize{info.srWindow.Bottom, info.dwSize.X};
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
