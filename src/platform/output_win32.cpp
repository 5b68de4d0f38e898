#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/output.h"

bool StandardOutputIsConsole() {
  DWORD mode;
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A reader that went away (the pipe closed) ends the run quietly, as
// Windows has no SIGPIPE; any other failure to write is reported.
void FailOutput(int error) {
  DWORD cause = GetLastError();  // the runtime maps a closed pipe to EINVAL
  bool readerGone = error == EPIPE || cause == ERROR_NO_DATA || cause == ERROR_BROKEN_PIPE ||
                    cause == ERROR_PIPE_NOT_CONNECTED;
  if (!readerGone) fprintf(stderr, "trovix: cannot write standard output: %s\n", strerror(error));
  _exit(-1);
}
