"""The pager as a person at a terminal meets it.  tmux runs the program in a
pane of a fixed size on a private server; the tests read the pane's screen
and scrollback, type keys into it and look at the pane terminal's mode."""

import os
import shutil
import signal
import subprocess
import tempfile
import termios
import time
import unittest

from trovix_e2e import *

PROMPT = "... Press a key to continue (or Quit) ..."
HANG_GUARD = 60  # seconds any one step may take before the test gives up

# A tmux of the developer's own must not take these commands as nested.
TMUX_ENV = {name: value for name, value in os.environ.items() if name != "TMUX"}

# Text on the pane before the program starts: a clear must remove it from
# the screen and the scrollback.
EARLIER_TEXT = [str(n) for n in range(1, 41)]

# Holds the command until the test has read the terminal's mode and prints
# the earlier text; runs the command with /dev/null as standard input, so
# only the terminal itself can answer a prompt, and records its process id
# and status; then prints an end mark, which tmux shows only after all the
# command's output, and keeps the terminal open for the test to look at.
END_MARK = "@end of command@"
GATE = ('seq 1 40; read go < "$0"; '
        'sh -c \'echo $$ > "$0.pid"; exec "$@"\' "$0" "$@" < /dev/null; '
        'echo $? > "$0.status"; printf "\\n%s\\n" "' + END_MARK + '"; read never < "$0"')


class Pane:
    """One pane of rows x 80 on a tmux server of its own, running one command."""

    def __init__(self, rows):
        self.rows = rows
        self.folder = tempfile.mkdtemp(prefix="trovix-pane-")
        self.socket = os.path.join(self.folder, "tmux.sock")
        self.config = os.path.join(self.folder, "tmux.conf")
        with open(self.config, "w") as out:
            out.write("set -g status off\nset -g history-limit 10000\n")

    def tmux(self, *args):
        done = subprocess.run(["tmux", "-S", self.socket, "-f", self.config] + list(args),
                              env=TMUX_ENV, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=HANG_GUARD, check=True)
        return done.stdout.decode("utf-8", "replace")

    def start(self, command, cwd):
        self.gate = gate = os.path.join(self.folder, "gate")
        os.mkfifo(gate)
        self.tmux("new-session", "-d", "-x", "80", "-y", str(self.rows), "-c", cwd, "--",
                  "sh", "-c", GATE, gate, "env", "TZ=UTC", *command)
        self.tty = self.show("#{pane_tty}")
        # tmux sets the terminal's mode in the pane's process before it runs
        # the shell; once the shell has printed, the mode is the one to keep.
        wait_for(lambda: EARLIER_TEXT[-1] in self.screen(), "the earlier text", self)
        self.mode_before = self.mode()
        writer = wait_for(lambda: open_for_writing(gate), "the command to reach its gate", self)
        os.write(writer, b"go\n")
        os.close(writer)

    def close(self):
        subprocess.run(["tmux", "-S", self.socket, "kill-server"], env=TMUX_ENV,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=HANG_GUARD)
        shutil.rmtree(self.folder, ignore_errors=True)

    def show(self, format):
        return self.tmux("display-message", "-p", format).rstrip("\n")

    def screen(self):
        """The visible rows."""
        return self.tmux("capture-pane", "-p").split("\n")[:self.rows]

    def transcript(self):
        """Scrollback and screen up to the end mark, without empty rows at
        the end."""
        lines = self.tmux("capture-pane", "-p", "-S", "-", "-E", "-").split("\n")
        if END_MARK in lines:
            lines = lines[:lines.index(END_MARK)]
        while lines and lines[-1] == "":
            lines.pop()
        return lines

    def mode(self):
        terminal = os.open(self.tty, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            return termios.tcgetattr(terminal)
        finally:
            os.close(terminal)

    def waits_for_key(self):
        return self.mode()[3] & (termios.ICANON | termios.ECHO) == 0

    def ended(self):
        return END_MARK in self.tmux("capture-pane", "-p", "-S", "-", "-E", "-").split("\n")

    def status(self):
        with open(self.gate + ".status") as status:
            return int(status.read())

    def pid(self):
        with open(self.gate + ".pid") as pid:
            return int(pid.read())

    def prompts(self):
        return self.transcript().count(PROMPT)

    def wait_at_prompt(self, number):
        """Waits until the program waits for a key at the numbered prompt.
        The prompt count is read before and after the mode, so the key mode
        seen is that prompt's and not the previous one's."""
        def waiting():
            seen = self.prompts()
            if seen > number:
                raise AssertionError("prompt %d passed without a key" % number)
            return seen == number and self.waits_for_key() and self.prompts() == number
        wait_for(waiting, "prompt %d" % number, self)

    def wait_until_ended(self):
        wait_for(self.ended, "the program to end", self)


def open_for_writing(fifo):
    try:
        return os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
    except OSError:
        return None  # no reader yet


def wait_for(condition, what, pane):
    deadline = time.monotonic() + HANG_GUARD
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for %s; the pane shows:\n%s"
                                 % (what, "\n".join(pane.screen())))
        time.sleep(0.02)


def banner_and_header(start):
    """The banner and search header, as they stand at the top of a cleared
    screen or below earlier text."""
    return ["", "Trovix 2.1 for Win32", "", "Search %s for *" % start, ""]


def with_prompts(listing, entries, first, every, final_count_prompts=False, quit_at=None):
    """The listing with a prompt after its line number first and after every
    further lines, one before the summary when the final count prompts, and
    nothing after the prompt a run was quit at."""
    lines, prompts = [], 0
    for number, line in enumerate(listing, 1):
        lines.append(line)
        if number >= first and (number - first) % every == 0:
            lines.append(PROMPT)
            prompts += 1
            if prompts == quit_at:
                return lines
    if final_count_prompts:
        lines.append(PROMPT)
    return lines + ["", "%d file(s) found" % entries]


@unittest.skipIf(UNDER_WINE, "Wine's console on a terminal draws its own screen and ends the "
                 "program on Ctrl+C; WinePagerTest covers the Windows build")
class PagerTest(TreeTestCase):

    def make_tree(self, folder, files):
        """A tree with files f000... in its top directory and a directory sub
        holding two more, so the listing has two header lines; gives its
        path, the listing's lines and the number of entries."""
        start = os.path.realpath(self.path(folder))
        listing = [start]
        for n in range(files):
            make_file(os.path.join(start, "f%03d" % n), size=n)
            listing.append(line_text(entry_line("f%03d" % n, n)))
        for name in ("g0", "g1"):
            make_file(os.path.join(start, "sub", name), size=7)
        self.stamp_dirs()
        listing.append(line_text(entry_line("sub", "<DIR>")))
        listing.append(os.path.join(start, "sub"))
        listing += [line_text(entry_line(name, 7)) for name in ("g0", "g1")]
        return start, listing, files + 3

    def open_pane(self, rows):
        pane = Pane(rows)
        self.addCleanup(pane.close)
        return pane

    def test_pages_and_keys(self):
        # rows, files, first prompt after, then every, keys (tmux names or
        # raw bytes), whether the final count prompts, ends with a summary.
        cases = [
            # 42 lines: prompts after line 19 and from the final count.
            (25, 37, 19, 24, ["x", "Down"], True, True),
            # One prompt per key, whatever it sends; "Q" quits at the last.
            (10, 76, 4, 9, ["C-c", "Down", "NPage", "F5", "F1", "Escape", b"\xc3\xa9", "M-q",
                            "Q"], False, False),
            (25, 30, 19, 24, ["q"], False, False),
        ]
        for case, (rows, files, first, every, keys, final_prompt, completes) in enumerate(cases):
            with self.subTest(rows=rows, keys=keys):
                start, listing, entries = self.make_tree("case%d" % case, files)
                pane = self.open_pane(rows)
                pane.start([TROVIX, start, "*", "/P"], start)
                quit_at = None if completes else len(keys)
                expected = banner_and_header(start) + with_prompts(listing, entries, first, every,
                                                             final_prompt, quit_at)
                for number, key in enumerate(keys, 1):
                    pane.wait_at_prompt(number)
                    shown = expected[:nth_index(expected, PROMPT, number) + 1]
                    self.assertEqual(shown, pane.transcript())
                    self.assertEqual(shown[-rows:], pane.screen())
                    self.assertEqual("%d,%d" % (len(PROMPT), rows - 1),
                                     pane.show("#{cursor_x},#{cursor_y}"))
                    if isinstance(key, bytes):
                        pane.tmux("send-keys", "-H", *["%02x" % b for b in key])
                    else:
                        pane.tmux("send-keys", key)
                pane.wait_until_ended()
                self.assertEqual(expected, pane.transcript())
                self.assertEqual(0, pane.status())
                self.assertEqual(pane.mode_before, pane.mode())

    def test_signal_during_wait_restores_the_terminal(self):
        start, _, _ = self.make_tree("tree", 30)
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            with self.subTest(signal=sig.name):
                pane = self.open_pane(25)
                pane.start([TROVIX, start, "*", "/P"], start)
                pane.wait_at_prompt(1)
                os.kill(pane.pid(), sig)
                pane.wait_until_ended()
                self.assertEqual(128 + sig, pane.status())
                self.assertEqual(pane.mode_before, pane.mode())

    def test_runs_that_never_wait(self):
        # Each would hang at its first prompt if it waited for a key.
        start, listing, entries = self.make_tree("tree", 30)
        plain = banner_and_header(start) + listing + ["", "%d file(s) found" % entries]
        piped = ["bash", "-c", 'set -o pipefail; "$@" | cat', "bash"]
        cases = [
            ("/P with output to a pipe", piped + [TROVIX, start, "*", "/P"],
             EARLIER_TEXT + plain),
            ("/P without a controlling terminal", ["setsid", "-w", TROVIX, start, "*", "/P"],
             banner_and_header(start) + with_prompts(listing, entries, 19, 24)),
            ("no /P on a terminal", [TROVIX, start, "*"], EARLIER_TEXT + plain),
        ]
        for what, command, expected in cases:
            with self.subTest(what):
                pane = self.open_pane(25)
                pane.start(command, start)
                pane.wait_until_ended()
                self.assertEqual(expected, pane.transcript())
                self.assertEqual(0, pane.status())
                self.assertEqual(pane.mode_before, pane.mode())


@unittest.skipUnless(UNDER_WINE, "the Windows build under Wine")
class WinePagerTest(TreeTestCase):
    """The Windows build's pager in Wine's console on a terminal: the real
    console calls clear the screen and take its size, and _getch reads the
    keys.  Wine redraws the screen itself, so the test reads the screen, not
    the scrollback."""

    def start(self, pane, start):
        # Wine reads console keys from the terminal only when it is the
        # program's standard input, where Windows opens the console itself.
        pane.start(["sh", "-c", 'exec "$@" < /dev/tty', "sh", WINE, TROVIX, native(start), "*",
                    "/P"], start)

    def wait_for_screen(self, pane, expected):
        wait_for(lambda: pane.screen() == expected, "the screen to show %r" % expected[-1:], pane)

    def test_pages_and_keys(self):
        start, listing, entries = PagerTest.make_tree(self, "tree", 37)
        listing = [native(line) if line.startswith("/") else line for line in listing]
        pane = Pane(25)
        self.addCleanup(pane.close)
        self.start(pane, start)
        expected = banner_and_header(native(start)) + with_prompts(listing, entries, 19, 24, True)
        prompts = [index for index, line in enumerate(expected) if line == PROMPT]
        # A cleared screen with the banner on top; an arrow key's two codes
        # answer one prompt, and Page Down's second code, that of "Q", quits
        # nothing.
        for prompt, key in zip(prompts, ["Down", "NPage"]):
            self.wait_for_screen(pane, expected[prompt - 24:prompt + 1])
            pane.tmux("send-keys", key)
        pane.wait_until_ended()
        shown = pane.screen()
        shown = shown[:shown.index(END_MARK)]
        while shown[-1] == "":
            shown.pop()
        self.assertEqual(expected[-len(shown):], shown)
        self.assertEqual(0, pane.status())

    def test_quit(self):
        start, listing, entries = PagerTest.make_tree(self, "tree", 30)
        listing = [native(line) if line.startswith("/") else line for line in listing]
        pane = Pane(25)
        self.addCleanup(pane.close)
        self.start(pane, start)
        expected = banner_and_header(native(start)) + listing[:19] + [PROMPT]
        self.wait_for_screen(pane, expected)
        pane.tmux("send-keys", "q")
        pane.wait_until_ended()
        self.assertEqual(0, pane.status())
        self.assertNotIn("%d file(s) found" % entries, pane.transcript())


def line_text(line):
    return line.decode().rstrip("\n")


def nth_index(items, item, n):
    index = -1
    for _ in range(n):
        index = items.index(item, index + 1)
    return index


if __name__ == "__main__":
    unittest.main()
