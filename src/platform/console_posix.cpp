// The console operations over a POSIX terminal.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/directory_posix.h"
#include "platform/output.h"
#include "platform/terminal_keys_posix.h"

struct Console {
  int fd;
};

namespace {

Console gTerminal = {STDOUT_FILENO};

// A terminal that cannot tell its size is taken to have the classic 25 rows.
const int kUnknownRows = 25;

// How long the rest of a key's bytes may take after its first.  A terminal
// sends a key's sequence in one write, so the bytes come together; only a
// lone Escape waits this long, which nobody notices.
const int kFollowingByteWaitMs = 100;

// The signals that end the process by default and can still arrive while
// the terminal's own signal keys are off: from kill, a closed terminal or
// a session that ends.
const int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
const int kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

// A key wait's hold on the terminal: the terminal it has switched to
// key-at-a-time mode, or -1, and the mode to give back, which the signal
// handler reads, and the handlers it put in place of the previous ones.
struct KeyModeHold {
  volatile sig_atomic_t switchedTerminal;
  struct termios savedMode;
  struct sigaction previousActions[kEndingSignalCount];
  bool handlerInstalled[kEndingSignalCount];
};
KeyModeHold gKeyMode = {-1, {}, {}, {}};

// Gives the terminal its mode back, then lets the signal end the process as
// it would have: the handler was installed to run once, so the default
// action is in place again and the signal is not blocked.
void RestoreTerminalAndEnd(int signal) {
  int terminal = gKeyMode.switchedTerminal;
  if (terminal >= 0) tcsetattr(terminal, TCSANOW, &gKeyMode.savedMode);
  raise(signal);
}

void InstallEndingHandlers() {
  struct sigaction action = {};
  action.sa_handler = RestoreTerminalAndEnd;
  action.sa_flags = SA_RESETHAND | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kEndingSignalCount; ++i) {
    // A signal the process was told to ignore (nohup) stays ignored.
    struct sigaction& previous = gKeyMode.previousActions[i];
    gKeyMode.handlerInstalled[i] = sigaction(kEndingSignals[i], nullptr, &previous) == 0 &&
                                   previous.sa_handler != SIG_IGN &&
                                   sigaction(kEndingSignals[i], &action, nullptr) == 0;
  }
}

void RemoveEndingHandlers() {
  for (int i = 0; i < kEndingSignalCount; ++i) {
    if (gKeyMode.handlerInstalled[i])
      sigaction(kEndingSignals[i], &gKeyMode.previousActions[i], nullptr);
  }
}

// Key-at-a-time mode: no line editing, no echo, and the keys that would
// raise signals or stop the output (Ctrl+C, Ctrl+Z, Ctrl+S...) arrive as
// keys.  The saved mode is in place before the handlers can need it.
bool SwitchToKeyMode(int terminal) {
  if (tcgetattr(terminal, &gKeyMode.savedMode) != 0) return false;
  struct termios keyMode = gKeyMode.savedMode;
  keyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  keyMode.c_iflag &= ~static_cast<tcflag_t>(IXON);
  keyMode.c_cc[VMIN] = 1;
  keyMode.c_cc[VTIME] = 0;
  InstallEndingHandlers();
  gKeyMode.switchedTerminal = terminal;
  // TCSANOW keeps keys typed ahead during the listing for this read.
  tcsetattr(terminal, TCSANOW, &keyMode);
  return true;
}

void RestoreMode(int terminal) {
  tcsetattr(terminal, TCSANOW, &gKeyMode.savedMode);
  gKeyMode.switchedTerminal = -1;
  RemoveEndingHandlers();
}

bool ReadByte(int terminal, unsigned char* byte) {
  ssize_t got;
  do {
    got = read(terminal, byte, 1);
  } while (got < 0 && errno == EINTR);
  return got == 1;
}

// A byte that comes soon after the key's first belongs to the same key.
bool ReadFollowingByte(int terminal, unsigned char* byte) {
  struct pollfd ready = {terminal, POLLIN, 0};
  int count;
  do {
    count = poll(&ready, 1, kFollowingByteWaitMs);
  } while (count < 0 && errno == EINTR);
  return count > 0 && ReadByte(terminal, byte);
}

// Waits for one key and takes all of its bytes; gives their count.
int ReadWholeKey(int terminal, unsigned char key[kMaxKeyBytes]) {
  if (!ReadByte(terminal, &key[0])) return 0;
  int length = 1;
  while (!KeyIsComplete(key, length) && ReadFollowingByte(terminal, &key[length])) ++length;
  return length;
}

}  // namespace

Console* GetConsoleOutput() { return isatty(STDOUT_FILENO) ? &gTerminal : nullptr; }

ConsoleSize ReadConsoleSize(Console* console) {
  struct winsize size;
  if (console && ioctl(console->fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0)
    return ConsoleSize{size.ws_row, size.ws_col};
  return ConsoleSize{kUnknownRows, 0};
}

void ClearScreen(Console*) {
  // Home, erase the screen, then the scrollback, into which some terminals
  // have just moved the erased screen.
  fputs("\033[H\033[2J\033[3J", stdout);
  fflush(stdout);
}

void ClearLastRows(Console*, int count) {
  // "ESC [ 0 A" moves up one row on some terminals, so it is never sent.
  if (count > 1)
    Print("\r\033[%dA\033[J", count - 1);
  else
    Print("\r\033[J");
}

// Reads the controlling terminal, not standard input, so that a pager whose
// input is redirected still waits for the person at the terminal.
int ReadKey() {
  TakeDescriptors(1);
  int terminal = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
  int key = -1;
  if (terminal >= 0 && SwitchToKeyMode(terminal)) {
    unsigned char bytes[kMaxKeyBytes];
    int length = ReadWholeKey(terminal, bytes);
    RestoreMode(terminal);
    if (length > 0) key = KeyCode(bytes, length);
  }
  if (terminal >= 0) close(terminal);
  GiveBackDescriptors(1);
  return key;
}
