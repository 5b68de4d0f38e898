#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "platform/output.h"

bool StandardOutputIsConsole() { return isatty(STDOUT_FILENO) != 0; }

// A reader that went away ends the run the way it ends any filter, by
// SIGPIPE; any other failure to write is reported.
void FailOutput(int error) {
  if (error == EPIPE) {
    signal(SIGPIPE, SIG_DFL);
    raise(SIGPIPE);
  } else {
    fprintf(stderr, "trovix: cannot write standard output: %s\n", strerror(error));
  }
  _exit(255);
}
