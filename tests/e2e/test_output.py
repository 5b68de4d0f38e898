"""Standard output that cannot be written: a full device, a closed stream, a
reader that goes away.  None of these may end as a quiet success."""

import os
import signal
import subprocess
import unittest

from trovix_e2e import (TROVIX, UNDER_WINE, TreeTestCase, command, make_file, program_env,
                        summary)

NO_SPACE = b"trovix: cannot write standard output: No space left on device\n"
BAD_STREAM = b"trovix: cannot write standard output: Bad file descriptor\n"
# Linux ends a run whose reader went away by SIGPIPE, as any filter ends;
# Windows has no such signal, and the run ends quietly with -1.
READER_GONE = 255 if UNDER_WINE else -signal.SIGPIPE


def close_stdout():
    os.close(1)


class UnwritableOutputTest(TreeTestCase):
    def setUp(self):
        super().setUp()
        make_file(self.path("small", "one.txt"))
        # Far more than the program and the pipe can hold between them.
        first = self.path("large", "file-0000-with-a-longer-name.txt")
        make_file(first)
        for i in range(1, 3000):
            os.link(first, self.path("large", "file-%04d-with-a-longer-name.txt" % i))

    def run_into(self, args, stdout=subprocess.DEVNULL, preexec_fn=None):
        done = subprocess.run(command(args), env=program_env(), stdin=subprocess.DEVNULL,
                              stdout=stdout, stderr=subprocess.PIPE, preexec_fn=preexec_fn,
                              timeout=120)
        return done.returncode, done.stderr.replace(b"\r\n", b"\n")

    def test_write_failure_ends_with_255_and_says_why(self):
        cases = [
            # The failure shows when the buffer is flushed at the end ...
            ("listing held until the end", [self.path("small"), "*"], "full", NO_SPACE),
            ("usage text", [], "full", NO_SPACE),
            ("message", ["*.txt", "/C"], "full", NO_SPACE),
            ("nothing listed", [self.path("small"), "none"], "full", NO_SPACE),
            # ... or part way through the walk.
            ("listing larger than the buffer", [self.path("large"), "*"], "full", NO_SPACE),
            ("closed stream, small", [self.path("small"), "*"], "closed", BAD_STREAM),
            ("closed stream, large", [self.path("large"), "*"], "closed", BAD_STREAM),
        ]
        for what, args, target, message in cases:
            with self.subTest(what):
                if target == "full":
                    with open("/dev/full", "wb") as full:
                        status, err = self.run_into(args, stdout=full)
                else:
                    status, err = self.run_into(args, preexec_fn=close_stdout)
                self.assertEqual((255, message), (status, err))

    def test_reader_that_goes_away_ends_the_run_quietly(self):
        # Whether or not the parent left SIGPIPE ignored, the run ends by it.
        for restore in (True, False):
            with self.subTest(sigpipe_default=restore):
                child = subprocess.Popen(command([self.path("large"), "*"]), env=program_env(),
                                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, restore_signals=restore)
                self.assertIn(child.stdout.readline(), (b"\n", b"\r\n"))
                child.stdout.close()
                err = child.stderr.read()
                status = child.wait(timeout=120)
                child.stderr.close()
                self.assertEqual((READER_GONE, b""), (status, err))

    def test_head_in_a_shell_pipeline(self):
        script = '"$@" | head -n 3; exit "${PIPESTATUS[0]}"'
        done = subprocess.run(["bash", "-c", script, "bash"] + command([self.path("large"), "*"]),
                              env=program_env(), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        self.assertEqual(255 if UNDER_WINE else 128 + signal.SIGPIPE, done.returncode)
        self.assertEqual(b"", done.stderr)
        self.assertEqual(3, done.stdout.count(b"\n"))

    def test_output_that_can_be_written_still_ends_with_0(self):
        status, err = self.run_into([self.path("large"), "*"])
        self.assertEqual((0, b""), (status, err))
        done = subprocess.run(command([self.path("large"), "*"]), env=program_env(),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        self.assertTrue(done.stdout.replace(b"\r\n", b"\n").endswith(summary(3000)))


if __name__ == "__main__":
    unittest.main()
