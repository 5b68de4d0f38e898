// Standard output, the same on every build: a failed write never passes
// unnoticed, and a console sees each print at once.
#include "platform/output.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <new>

namespace {

struct OutputState {
  bool toConsole;
  char buffer[1 << 14];  // a runtime may ignore the size of a buffer it allocates
};
OutputState gOutput;

}  // namespace

void InitOutput() {
  FailRunWhenMemoryRunsOut();
  gOutput.toConsole = StandardOutputIsConsole();
  if (!gOutput.toConsole) setvbuf(stdout, gOutput.buffer, _IOFBF, sizeof gOutput.buffer);
}

// Some runtimes report a failed flush as a success and mark only the
// stream's error flag.
void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = vfprintf(stdout, format, args);
  va_end(args);
  if (result >= 0 && gOutput.toConsole) result = fflush(stdout);
  if (result < 0 || ferror(stdout)) FailOutput(errno);
}

void PrintText(const char* text, size_t length) {
  bool written = fwrite(text, 1, length, stdout) == length;
  if (written && gOutput.toConsole) written = fflush(stdout) == 0;
  if (!written || ferror(stdout)) FailOutput(errno);
}

void EndProcess(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) FailOutput(errno);
  exit(status);
}

void Warn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  fputs("trovix: ", stderr);
  vfprintf(stderr, format, args);
  fputs("\n", stderr);
  va_end(args);
}

// Any thread may fail; stdout's own lock keeps its flush whole.
void FailRun(const char* reason) {
  fflush(stdout);
  Warn("%s", reason);
  _Exit(-1);
}

namespace {

void FailForWantOfMemory() { FailRun("out of memory"); }

}  // namespace

void FailRunWhenMemoryRunsOut() { std::set_new_handler(FailForWantOfMemory); }
