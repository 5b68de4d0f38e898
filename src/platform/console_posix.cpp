// The console operations over a POSIX terminal.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"

struct Console {
  int fd;
};

namespace {
Console gTerminal = {STDOUT_FILENO};
}  // namespace

Console* GetConsoleOutput() { return isatty(STDOUT_FILENO) ? &gTerminal : nullptr; }

int ClearScreen(Console* console) {
  // Home, erase the screen, erase the scrollback.
  fputs("\033[H\033[2J\033[3J", stdout);
  fflush(stdout);
  struct winsize size;
  if (console && ioctl(console->fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0)
    return size.ws_row - 1;
  return 24;
}

int ReadKey() {
  int tty = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return -1;
  struct termios saved, raw;
  bool modeSet = tcgetattr(tty, &saved) == 0;
  if (modeSet) {
    raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(tty, TCSANOW, &raw);
  }
  unsigned char key = 0;
  ssize_t got;
  do {
    got = read(tty, &key, 1);
  } while (got < 0 && errno == EINTR);
  if (modeSet) tcsetattr(tty, TCSANOW, &saved);
  close(tty);
  return got == 1 ? key : -1;
}

