"""Trees nobody prepared for the program: changing while it walks them, odd
names, a very large directory, and a content search that reads a lot."""

import os
import random
import re
import shutil
import subprocess
import threading
import unittest

from trovix_e2e import (BANNER, UNDER_WINE, TreeTestCase, command, entry_line, header, make_file,
                        native, program_env, run, scaled, set_stamp, summary)

WINE_ODD_NAMES = ("Wine shows names that Windows cannot hold (trailing dots and blanks, "
                  "bytes outside the ANSI code page, \\) by other names")
# Linux refuses paths of 4096 bytes and more, and Wine then looks a path up
# one component at a time.
WINE_PATH_MAX = "Wine cannot reach a path past Linux's 4096 bytes in reasonable time"
WINE_FIFOS = ("Windows has no FIFOs or sockets in a folder; Wine shows them as files and "
              "blocks opening a FIFO")

ENTRY = re.compile(rb"   .{35}(?: {8}<DIR>| {0,12}\d{1,10}) {3}\d{4}-\d\d-\d\d {3}\d\d:\d\d:\d\d")


def ntfs_order(names):
    """Byte order with a-z taken as A-Z, ties by the bytes themselves."""
    return sorted(names, key=lambda name: (name.upper(), name))


class Listing:
    """An output taken apart; fails on anything other than directory headers,
    each printed once and followed by its entries' 75-column lines, and a
    summary that counts those lines."""

    def __init__(self, test, out, root, spec, text=None, sensitive=True):
        top = BANNER + header(root, spec, text, sensitive)
        test.assertTrue(out.startswith(top), out[:200])
        match = re.fullmatch(rb"((?:.*\n)?)\n(\d+) file\(s\) found\n", out[len(top):], re.S)
        test.assertIsNotNone(match, out[-200:])
        lines = match.group(1).split(b"\n")[:-1]
        self.headers = []
        self.entries = []  # (directory, name) of every entry line
        for line in lines:
            if line.startswith(b"   "):
                test.assertTrue(self.headers, line)
                test.assertRegex(line, ENTRY)
                test.assertEqual(75, len(line), line)
                self.entries.append((self.headers[-1], line[3:38].rstrip(b" ")))
            else:
                test.assertTrue(line.startswith(native(root).encode()), line)
                if len(line) <= 75:  # a longer path is cut, and may repeat
                    test.assertNotIn(line, self.headers)
                test.assertEqual(self.headers[-1:], [d for d, _ in self.entries[-1:]], line)
                self.headers.append(line)
        test.assertEqual(self.headers[-1:], [d for d, _ in self.entries[-1:]])
        test.assertEqual(int(match.group(2)), len(self.entries))


class ChangingTreeTest(TreeTestCase):
    """Another process creates, deletes, renames and replaces entries while
    the program walks the tree again and again."""

    SECONDS = 3.0

    def setUp(self):
        super().setUp()
        # What stays put: each run must list all of it, whatever moves around it.
        self.stable = set()
        for d in ["", "s1", "s1/s2", "s3"]:
            for i in range(5):
                name = "stable-%d.txt" % i
                make_file(self.path(d, name), content=b"needle in stable\n")
                self.stable.add((d, name))
        self.stop = threading.Event()

    def churn(self, seed):
        rng = random.Random(seed)
        places = ["", "s1", "s1/s2", "s3"]
        while not self.stop.is_set():
            place = self.path(rng.choice(places))
            name = os.path.join(place, "churn-%d" % rng.randrange(20))
            other = os.path.join(self.path(rng.choice(places)), "churn-%d" % rng.randrange(20))
            action = rng.randrange(6)
            try:
                if action == 0:
                    # Never through a link: that would rewrite a stable file.
                    fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_NOFOLLOW)
                    with open(fd, "wb") as out:
                        out.write(b"needle " * rng.randrange(3000))
                elif action == 1:
                    os.makedirs(os.path.join(name, "inner", "deeper"), exist_ok=True)
                    make_file(os.path.join(name, "inner", "f.txt"), content=b"needle")
                elif action == 2:
                    os.rename(name, other)
                elif action == 3:
                    # A directory replaced by a file of the same name, or back.
                    if os.path.isdir(name) and not os.path.islink(name):
                        shutil.rmtree(name)
                        with open(name, "wb") as out:
                            out.write(b"was a directory")
                    else:
                        os.unlink(name)
                        os.mkdir(name)
                elif action == 4:
                    if os.path.isdir(name) and not os.path.islink(name):
                        shutil.rmtree(name)
                    else:
                        os.unlink(name)
                else:
                    # Links that dangle, or lead to churning entries: a link to a
                    # stable directory would list it under the link's name.
                    os.symlink(rng.choice(["nowhere", "stable-0.txt", "churn-3", "churn-3/inner"]),
                               name)
            except OSError:
                pass  # the entry was not there, or was in the way

    def test_every_run_ends_well_formed_with_every_stable_entry(self):
        worker = threading.Thread(target=self.churn, args=(6,))
        worker.start()
        runs = 0
        try:
            deadline = threading.Event()
            timer = threading.Timer(self.SECONDS, deadline.set)
            timer.start()
            self.addCleanup(timer.cancel)
            searches = [("*", None, True), ("*.txt", "needle", True), ("*", "NEEDLE", False)]
            while not deadline.is_set() or runs < 2 * len(searches):
                spec, text, sensitive = searches[runs % len(searches)]
                args = [self.root, spec]
                if text:
                    args += ["/C" if sensitive else "/I", text]
                status, out = run(args, timeout=120)
                self.assertEqual(0, status)
                listing = Listing(self, out, self.root, spec, text, sensitive)
                listed = {(d.decode()[len(native(self.root)) + 1:].replace("\\", "/"),
                           n.decode()) for d, n in listing.entries}
                self.assertEqual(set(), self.stable - listed)
                runs += 1
        finally:
            self.stop.set()
            worker.join()


class OddNameTest(TreeTestCase):
    NAMES = [b"x" * 255, b"\xff\xfe\xfd", b"caf\xe9.txt", b"\xc3\x28.bin", b"\x80", b" ",
             b"   ", b"...", b"....", b" . ", b". .", b"tail-space ", b"tail-dot."]

    @unittest.skipIf(UNDER_WINE, WINE_ODD_NAMES)
    def test_odd_names_are_listed_and_laid_out(self):
        for name in self.NAMES:
            make_file(os.path.join(self.root.encode(), name), size=len(name))
        set_stamp(self.root)
        for spec in ["*", "*.*"]:
            with self.subTest(spec=spec):
                status, out = run([self.root, spec])
                self.assertEqual(0, status)
                self.assertEqual(BANNER + header(self.root, spec) + self.root.encode() + b"\n" +
                                 b"".join(entry_line(n, len(n)) for n in ntfs_order(self.NAMES)) +
                                 summary(len(self.NAMES)), out)

    @unittest.skipIf(UNDER_WINE, WINE_ODD_NAMES)
    def test_directories_with_odd_names_are_walked(self):
        # "\\" names the root as a start path, and is a plain name below it.
        root = self.root.encode()
        names = [b" ", b"...", b"\xff\xfe", b"d" * 255, b"\\"]
        for name in names:
            make_file(os.path.join(root, name, b"inside.txt"))
        self.stamp_dirs()
        status, out = run([self.root, "inside.txt"])
        self.assertEqual(0, status)
        expected = b""
        for name in ntfs_order(names):
            path = root + b"/" + name
            shown = path[:75] + b"..." if len(path) > 75 else path
            expected += shown + b"\n" + entry_line("inside.txt", 0)
        self.assertEqual(BANNER + header(self.root, "inside.txt") + expected + summary(5), out)

    @unittest.skipIf(UNDER_WINE, WINE_PATH_MAX)
    def test_paths_far_beyond_path_max(self):
        # Twenty levels of 255-byte names: a path of over 5000 bytes.
        here = os.getcwd()
        os.chdir(self.root)
        try:
            for level in range(20):
                name = (b"%02d" % level) * 127 + b"z"
                os.mkdir(name)
                os.chdir(name)
                with open(b"level.txt", "wb"):
                    pass
        finally:
            os.chdir(here)
        status, out = run([self.root, "level.txt"])
        self.assertEqual(0, status)
        listing = Listing(self, out, self.root, "level.txt")
        self.assertEqual(20, len(listing.entries))
        for directory, _ in listing.entries:
            self.assertEqual(78, len(directory))
            self.assertTrue(directory.endswith(b"..."))


class SpecialFileTest(TreeTestCase):
    @unittest.skipIf(UNDER_WINE, WINE_FIFOS)
    def test_pipes_and_sockets_are_listed_but_never_opened(self):
        import socket
        make_file(self.path("plain.txt"), content=b"needle")
        os.mkfifo(self.path("fifo.txt"))
        os.mkfifo(self.path("idle.txt"))  # no writer: opening it would wait
        server = socket.socket(socket.AF_UNIX)
        self.addCleanup(server.close)
        server.bind(self.path("socket.txt"))
        server.listen(1)
        for path in ("fifo.txt", "idle.txt", "socket.txt"):
            set_stamp(self.path(path))
        set_stamp(self.root)
        # A writer that never writes: reading the pipe would wait for ever.
        writer = os.open(self.path("fifo.txt"), os.O_RDWR)
        self.addCleanup(os.close, writer)
        status, out = run([self.root, "*.txt"], timeout=60)
        self.assertEqual(0, status)
        self.assertEqual(BANNER + header(self.root, "*.txt") + self.root.encode() + b"\n" +
                         entry_line("fifo.txt", 0) + entry_line("idle.txt", 0) +
                         entry_line("plain.txt", 6) + entry_line("socket.txt", 0) + summary(4), out)
        status, out = run([self.root, "*.txt", "/C", "needle"], timeout=60)
        self.assertEqual(0, status)
        self.assertEqual(BANNER + header(self.root, "*.txt", "needle") + self.root.encode() +
                         b"\n" + entry_line("plain.txt", 6) + summary(1), out)


class LargeDirectoryTest(TreeTestCase):
    def test_every_entry_of_a_huge_directory_is_listed(self):
        # Far beyond any buffer a directory read fills at once.  Hard links
        # make the entries much faster than new files on a journaled disk;
        # bench/big_directory.sh goes to 200,000 and more.
        count = scaled(40000)
        names = [b"entry-%06d.dat" % i for i in range(count)]
        root = self.root.encode()
        first = os.path.join(root, names[0])
        make_file(first)
        for name in names[1:]:
            os.link(first, os.path.join(root, name))
        status, out = run([self.root, "*.dat"], timeout=300)
        self.assertEqual(0, status)
        listing = Listing(self, out, self.root, "*.dat")
        self.assertEqual(names, [name for _, name in listing.entries])
        self.assertTrue(out.endswith(entry_line(names[-1], 0) + summary(count)))


class ContentMemoryTest(TreeTestCase):
    def peak_kib(self, args):
        """Peak resident memory of one run, in KiB."""
        # The sanitizer holds freed blocks back before reusing them; keep
        # that small so the figure is the program's own.
        env = program_env({"ASAN_OPTIONS": "quarantine_size_mb=4:" +
                                           os.environ.get("ASAN_OPTIONS", "")})
        child = subprocess.Popen(command(args), env=env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        self.assertEqual(0, child.returncode)
        return usage.ru_maxrss

    def test_reading_much_more_keeps_memory_flat(self):
        make_file(self.path("small", "one.txt"), content=b"x" * 1000)
        big = self.path("big")
        make_file(os.path.join(big, "huge.bin"), size=scaled(512 << 20, 64 << 20))
        for i in range(scaled(2000)):
            make_file(os.path.join(big, "d%02d" % (i % 50), "f%05d.txt" % i),
                      content=b"not the text " * 500)
        small = self.peak_kib([self.path("small"), "*", "/I", "zq-occurs-nowhere"])
        large = self.peak_kib([big, "*", "/I", "zq-occurs-nowhere"])
        self.assertLess(large - small, 16 << 10, (small, large))


if __name__ == "__main__":
    unittest.main()
