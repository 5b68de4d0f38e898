"""The pager as a person at a terminal meets it: tmux runs the program in a pane of rows x 80
on a private server; the test types keys into it and reads its screen, scrollback and mode."""
import os, pathlib, shutil, signal, subprocess, tempfile, time, unittest

TROVIX = os.environ.get("TROVIX", os.path.join(os.path.dirname(__file__), "../../build/trovix"))
PROMPT, END = "... Press a key to continue (or Quit) ...", "@end of command@"
TMUX_ENV = {k: v for k, v in os.environ.items() if k != "TMUX"}  # not nested in the user's tmux
# Prints 1 to 40, for a clear to remove; waits at the gate until the test has read the mode;
# runs the command with no standard input, for only the terminal to answer; marks the end.
GATE = ('mkfifo "$0"; seq 1 40; read go < "$0"; sh -c \'echo $$ > "$0.pid"; exec "$@"\' "$0" "$@"'
        ' </dev/null; echo $? > "$0.status"; printf "\\n%s\\n" "' + END + '"; read never < "$0"')
HOW = {"tty": ([], ["/P"]), "plain": ([], []), "setsid": (["setsid", "-w"], ["/P"]),
       "pipe": (["bash", "-c", 'set -o pipefail; "$@" | cat', "bash"], ["/P"])}
# Rows (or rows and columns), files (listed in 5 lines), how it runs, the key typed or signal
# sent at each prompt (after a resize of the window to a number of rows, where that comes
# first), the lines the prompts follow (one past the last: the final count).
CASES = [(25, 37, "tty", ["x", "Down"], (19, 43)),
         (10, 76, "tty", ["C-c", "Down", "NPage", "F5", "F1", "Escape", "é", "M-q", "Q"],
          (4, 13, 22, 31, 40, 49, 58, 67, 76)),
         (25, 40, "tty", ["C-s", "q"], (19, 43)),  # Ctrl+S reaches the program: output goes on
         (25, 30, "tty", [signal.SIGTERM], (19,)), (25, 30, "tty", [signal.SIGHUP], (19,)),
         (25, 30, "tty", [signal.SIGINT], (19,)), (25, 30, "setsid", [], (19,)),
         (25, 30, "pipe", [], ()), (25, 30, "plain", [], ()),
         ((12, 50), 12, "tty", ["x", "x", "x"], (3, 8, 13)),  # 50 columns: lines of two rows
         ((25, 40), 24, "tty", ["x", "q"], (9, 20)),  # 40 columns: a prompt of two rows, cleared after its key
         (25, 40, "tty", [(12, "x"), "x", "q"], (19, 30, 41))]  # the next page fits the resized window


@unittest.skipIf(TROVIX.lower().endswith(".exe"), "Wine draws a console of its own on a terminal")
class PagerTest(unittest.TestCase):
    def tmux(self, *args):
        return subprocess.run(self.base + list(args), env=TMUX_ENV, stdin=subprocess.DEVNULL,
                              capture_output=True, check=True, timeout=15).stdout.decode()

    def shown(self, *where):  # the screen, or with "-S -" the scrollback too, up to the end mark
        return self.tmux("capture-pane", "-p", *where).split(END)[0].rstrip("\n").split("\n")

    def mode(self):  # the terminal's settings but its size, "rows N; columns N;"
        words = subprocess.run(["stty", "-F", self.tty, "-a"], capture_output=True).stdout.split()
        return words[:3] + words[7:]

    def size(self):
        return subprocess.run(["stty", "-F", self.tty, "size"], capture_output=True).stdout.split()

    def wait_for(self, condition, what):
        deadline = time.monotonic() + 15
        while not condition():
            self.assertLess(time.monotonic(), deadline, "gave up waiting for " + what)
            time.sleep(0.02)

    def test_pages_and_keys(self):
        folder = os.path.realpath(tempfile.mkdtemp(prefix="trovix-pager-"))
        self.addCleanup(shutil.rmtree, folder)
        for case, (rows, files, how, keys, prompts) in enumerate(CASES):
            rows, columns = (rows, 80) if isinstance(rows, int) else rows
            start, pane = os.path.join(folder, str(case)), tempfile.mkdtemp(dir=folder)
            names = ["f%03d" % n for n in range(files)] + ["sub/g0", "sub/g1"]
            os.makedirs(start + "/sub")
            subprocess.run(["touch", "-d", "@1033245078", *names, "sub"], cwd=start)
            line = "   %-35s%13s   2002-09-28   20:31:18"
            listing = [start] + [line % (n, 0) for n in names[:-2]] + [
                line % ("sub", "<DIR>"), start + "/sub", line % ("g0", 0), line % ("g1", 0)]
            signalled = bool(keys) and isinstance(keys[-1], int)
            quits = signalled or keys[-1:] in (["q"], ["Q"])
            in_rows = lambda lines: [line[i:i + columns].rstrip() for line in lines  # as the pane shows them
                                     for i in range(0, len(line) or 1, columns)]
            prompt_rows = in_rows([PROMPT])
            kept = () if len(prompt_rows) > 1 else prompts  # the prompts that stay above the page after them

            def text(upto, prompted):  # the text up to a line of the listing, and the prompts after lines
                return in_rows(([] if how in ("tty", "setsid") else [str(n) for n in range(1, 41)]) + [
                    "", "Trovix 2.2 for Win32", "", "Search %s for *" % start, ""] + [
                    shown for n, entry in enumerate((listing + [None])[:upto], 1) for shown in [entry] +
                    [PROMPT] * (n in prompted) if shown])
            at_prompt = [text(line, kept[:k] + (line,)) for k, line in enumerate(prompts)]
            expected = at_prompt[-1] if quits else text(None, kept) + ["", "%d file(s) found" % (files + 3)]
            self.base, gate = ["tmux", "-S", pane + "/socket", "-f", "/dev/null"], pane + "/gate"
            self.tmux("start-server", ";", "set", "-g", "status", "off", ";", "new-session", "-d",
                      "-x", str(columns), "-y", str(rows), "-c", start, "--", "sh", "-c", GATE,
                      gate, "env", "TZ=UTC", *HOW[how][0], TROVIX, start, "*", *HOW[how][1])
            self.addCleanup(subprocess.run, self.base + ["kill-server"], capture_output=True)
            with self.subTest(rows=rows, how=how, keys=keys):
                self.tty = self.tmux("display-message", "-p", "#{pane_tty}").strip()
                self.wait_for(lambda: "40" in self.shown(), "the earlier text")
                mode_before = self.mode()
                pathlib.Path(gate).write_text("go\n")
                for number, key in enumerate(keys, 1):
                    upto = at_prompt[number - 1]  # a prompt without a key fails here
                    self.wait_for(lambda: len(self.shown("-S", "-")) >= len(upto) and
                                  self.shown()[-len(prompt_rows):] == prompt_rows and
                                  {b"-icanon", b"-echo"} <= set(self.mode()), "prompt %d" % number)
                    self.assertEqual(upto, self.shown("-S", "-"))
                    self.assertEqual(upto[-rows:], self.shown())
                    if isinstance(key, tuple):
                        rows, key = key
                        self.tmux("resize-window", "-y", str(rows))
                        self.wait_for(lambda: self.size() == [b"%d" % rows, b"%d" % columns], "the new size")
                    if isinstance(key, int):
                        os.kill(int(pathlib.Path(gate + ".pid").read_text()), key)
                    else:
                        self.tmux("send-keys", key)
                self.wait_for(lambda: END in self.tmux("capture-pane", "-p", "-S", "-"), "the end")
                if not signalled:  # else the shell's note of the signal follows the prompt
                    self.assertEqual(expected, self.shown("-S", "-"))
                status = int(pathlib.Path(gate + ".status").read_text())
                self.assertEqual(128 + keys[-1] if signalled else 0, status)
                self.assertEqual(mode_before, self.mode())


if __name__ == "__main__":
    unittest.main()
