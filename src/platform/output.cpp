// Standard output, the same on every build: a failed write never passes
// unnoticed, and a console sees each print at once.
#include "platform/output.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

struct OutputState {
  bool toConsole;
};
OutputState gOutput = {false};

}  // namespace

void InitOutput() {
  gOutput.toConsole = StandardOutputIsConsole();
  if (!gOutput.toConsole) setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
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

void EndProcess(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) FailOutput(errno);
  exit(status);
}
