"""The find-and-list run end to end: command line, walk, listing, links."""

import os
import resource
import subprocess
import sys
import unittest

from trovix_e2e import (BANNER, STAMP, UNDER_WINE, TreeTestCase, dir_line, entry_line, header,
                        make_dir, make_file, native, run, set_stamp, summary)

USAGE = (b"\n\nSyntax: trovix [startpath] filespec [/C text] [/I text] [/P]\n"
         b"\n"
         b"If startpath is omitted, searching will begin in the root directory of the\n"
         b"current drive. If a startpath is specified, the search will only involve that\n"
         b"directory and its subdirectories.\n"
         b"\n"
         b"/C matches files that contain the case sensitive search text\n"
         b"/I matches files that contain the case insensitive search text\n"
         b"/P pauses the output to show one screen at a time\n"
         b"\n"
         b"Examples of usage:\n"
         b"trovix *.txt /p\n"
         b"trovix c:\\ *.doc /i budget\n")
# Windows turns "?", and a "*" or "." next to a dot or the end, into the DOS
# wildcards; Wine 8 matches them as they were typed.
WINE_LACKS_DOS_WILDCARDS = {"*.", "??."}
NO_TEXT = b"\n\nPlease specify text to search for after /C or /I\n"
BOTH = b"\n\nDo either a /case-sensitive or /insensitive search, but not both.\n"


def as_nobody():
    """A prefix that runs the program as an unprivileged user when we are root."""
    if os.geteuid() != 0:
        return ()
    return ("setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups")


class CommandLineTest(TreeTestCase):
    def test_rejected_command_lines(self):
        cases = [
            ([], USAGE),
            (["*.txt", "/?"], USAGE),
            (["*.txt", "/X"], USAGE),
            (["*.txt", "/"], USAGE),
            (["a", "b", "c"], USAGE),
            (["*.txt", "/p", "c:\\"], USAGE),
            (["/C", "text"], USAGE),
            (["*.txt", "/C"], NO_TEXT),
            (["*.txt", "/C", "a", "/I", "b"], BOTH),
            (["*.txt", "/I", "/C", "x"], BOTH),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                status, out = run(args, cwd=self.root)
                self.assertEqual(255, status)
                self.assertEqual(BANNER + message, out)

    def test_start_directory_that_cannot_be_entered(self):
        missing = self.path("missing")
        status, out = run([missing, "*.txt"])
        self.assertEqual(255, status)
        self.assertEqual(BANNER + header(missing, "*.txt") +
                         b"Error: Unable to enter " + native(missing).encode() + b"\n", out)

    def test_paths_beginning_with_slash_are_not_switches(self):
        make_file(self.path("capture.txt"))
        set_stamp(self.root)
        status, out = run([self.root, "*.txt"])
        self.assertEqual(0, status)
        self.assertEqual(BANNER + header(self.root, "*.txt") + dir_line(self.root) +
                         entry_line("capture.txt", 0) + summary(1), out)

    @unittest.skipIf(UNDER_WINE, "under Wine the root of drive Z: is all of Linux, /proc and /sys "
                     "included: minutes of walking; test_platform searches a drive of its own")
    def test_filespec_alone_searches_from_the_root(self):
        # The whole machine is walked; links and pseudo file systems must not
        # make that endless.
        status, out = run(["zz-no-such-name-*"], timeout=300)
        self.assertEqual(0, status)
        self.assertEqual(BANNER + header("\\", "zz-no-such-name-*") + summary(0), out)


class ListingTest(TreeTestCase):
    def listing(self, spec, *groups):
        """Expected output: each group is (directory, [lines])."""
        body = b"".join(dir_line(d) + b"".join(lines) for d, lines in groups)
        count = sum(len(lines) for _, lines in groups)
        return BANNER + header(self.root, spec) + body + summary(count)

    def test_depth_first_in_ntfs_order(self):
        for name in ["b.txt", "_x.txt", "Zz.txt", "a1.txt", "aB.txt", "A", "A/a1.txt",
                     "A/B", "A/B/b1.txt", "c.dat"]:
            if "." in name:
                make_file(self.path(name), size=len(name))
            else:
                make_dir(self.path(name))
        self.stamp_dirs()
        status, out = run([self.root, "*.txt"])
        self.assertEqual(0, status)
        self.assertEqual(self.listing("*.txt",
            (self.root, [entry_line(n, len(n)) for n in
                         ["a1.txt", "aB.txt", "b.txt", "Zz.txt", "_x.txt"]]),
            (self.path("A"), [entry_line("a1.txt", 8)]),
            (self.path("A", "B"), [entry_line("b1.txt", 10)])), out)

    def test_star_dot_star_lists_directories_and_never_dot_entries(self):
        make_dir(self.path("sub"))
        make_file(self.path("sub", ".hidden"), size=3)
        make_file(self.path("file"), size=1)
        self.stamp_dirs()
        for spec in ["*.*", "*", ".*"]:
            with self.subTest(spec=spec):
                status, out = run([self.root, spec])
                self.assertEqual(0, status)
                if spec == ".*":
                    expected = self.listing(spec, (self.path("sub"), [entry_line(".hidden", 3)]))
                else:
                    expected = self.listing(spec,
                        (self.root, [entry_line("file", 1), entry_line("sub", "<DIR>")]),
                        (self.path("sub"), [entry_line(".hidden", 3)]))
                self.assertEqual(expected, out)

    def test_wildcard_rules(self):
        names = ["a.txt.bak", "a.b.txt", ".txt", "plain", "ac", "abc", "aaa", "aa", "a", "A.TXT"]
        for name in names:
            make_file(self.path(name))
        set_stamp(self.root)
        cases = [
            ("*.txt", [".txt", "a.b.txt", "A.TXT"]),
            ("*.", ["a", "aa", "aaa", "abc", "ac", "plain"]),
            ("a?c", ["abc"]),
            ("??.", ["a", "aa", "ac"]),
            ("*.BAK", ["a.txt.bak"]),
            ("", []),
        ]
        for spec, expected in cases:
            with self.subTest(spec=spec):
                if UNDER_WINE and spec in WINE_LACKS_DOS_WILDCARDS:
                    self.skipTest("Wine 8 lacks the DOS wildcards DOS_STAR, DOS_QM and DOS_DOT")
                status, out = run([self.root, spec])
                self.assertEqual(0, status)
                groups = [(self.root, [entry_line(n, 0) for n in expected])] if expected else []
                self.assertEqual(self.listing(spec, *groups), out)

    def test_line_layout(self):
        make_file(self.path("x" * 35), size=1)
        make_file(self.path("y" * 32 + "TAIL"), size=2)
        make_file(self.path("four-gib"), size=4 << 30)
        make_file(self.path("four-gib-less-one"), size=(4 << 30) - 1)
        make_file(self.path("four-gib-and-five"), size=(4 << 30) + 5)
        make_file(self.path("early"), stamp=915246245)  # 1999-01-02 03:04:05
        make_file(self.path("line\nbreak\x1b[2J"), size=7)
        set_stamp(self.root)
        status, out = run([self.root, "*"])
        self.assertEqual(0, status)
        self.assertEqual(self.listing("*", (self.root, [
            entry_line("early", 0, "1999-01-02", "03:04:05"),
            entry_line("four-gib", 0),
            entry_line("four-gib-and-five", 5),
            entry_line("four-gib-less-one", 4294967295),
            entry_line("line?break?[2J", 7),
            entry_line("x" * 35, 1),
            entry_line("y" * 32 + "...", 2)])), out)
        for line in out.split(b"\n"):
            if line.startswith(b"   "):
                self.assertEqual(75, len(line))

    def test_local_time_of_the_instant(self):
        # Central European time: +1 in winter, +2 in summer, whatever today is.
        zone = {"TZ": "CET-1CEST,M3.5.0,M10.5.0/3"}
        make_file(self.path("summer"), stamp=1215000000)  # 2008-07-02 12:00:00 UTC
        make_file(self.path("winter"), stamp=1200000000)  # 2008-01-10 21:20:00 UTC
        set_stamp(self.root)
        status, out = run([self.root, "*"], env=zone)
        self.assertEqual(self.listing("*", (self.root, [
            entry_line("summer", 0, "2008-07-02", "14:00:00"),
            entry_line("winter", 0, "2008-01-10", "22:20:00")])), out)

    def test_header_keeps_75_characters(self):
        # Directory paths of exactly 75 and 76 characters.
        base = len(native(self.root)) + 1
        exact = self.path("e" * (75 - base))
        longer = self.path("f" * (76 - base))
        for directory in (exact, longer):
            make_file(os.path.join(directory, "in.txt"))
        self.stamp_dirs()
        status, out = run([self.root, "in.txt"])
        self.assertEqual(BANNER + header(self.root, "in.txt") +
                         dir_line(exact) + entry_line("in.txt", 0) +
                         dir_line(longer) + entry_line("in.txt", 0) +
                         summary(2), out)

    def test_tree_is_left_unchanged(self):
        make_file(self.path("d", "f.txt"), content=b"data")
        make_file(self.path("g.txt"), content=b"more")
        os.symlink("d", self.path("link"))
        self.stamp_dirs()

        def snapshot():
            seen = []
            for top, dirs, files in os.walk(self.root):
                for name in sorted(dirs + files):
                    info = os.lstat(os.path.join(top, name))
                    seen.append((top, name, info.st_mode, info.st_size, info.st_mtime_ns,
                                 info.st_ctime_ns))
            return seen

        before = snapshot()
        self.assertEqual(0, run([self.root, "*"])[0])
        self.assertEqual(0, run([self.root, "*.txt", "/C", "data"])[0])
        self.assertEqual(before, snapshot())


class LinkTest(TreeTestCase):
    def test_links_are_listed_with_their_targets_data(self):
        make_file(self.path("target.bin"), size=1234)
        make_dir(self.path("dir"))
        os.symlink("target.bin", self.path("to-file"))
        os.symlink("dir", self.path("to-dir"))
        os.symlink("nowhere", self.path("dangling"))
        self.stamp_dirs()
        dangling = os.lstat(self.path("dangling"))
        status, out = run([self.root, "*"])
        self.assertEqual(0, status)
        lines = out.split(b"\n")
        self.assertIn(entry_line("to-file", 1234).rstrip(b"\n"), lines)
        self.assertIn(entry_line("to-dir", "<DIR>").rstrip(b"\n"), lines)
        if UNDER_WINE:
            self.skipTest("Wine 8 leaves out a link whose target is missing")
        dangling_line = [l for l in lines if l.startswith(b"   dangling ")]
        self.assertEqual(1, len(dangling_line))
        self.assertIn(b"%13d" % dangling.st_size, dangling_line[0])

    def test_cycle_is_listed_once_and_walk_ends(self):
        make_dir(self.path("a", "b"))
        os.symlink("../..", self.path("a", "b", "up"))
        os.symlink(self.path("a"), self.path("again"))
        make_file(self.path("a", "b", "deep.txt"))
        self.stamp_dirs()
        status, out = run([self.root, "*"], timeout=60)
        self.assertEqual(0, status)
        self.assertEqual(1, out.count(b"deep.txt"))
        self.assertEqual(1, out.count(b"   up "))

    def test_dot_dot_returns_to_where_the_walk_came_from(self):
        # "link" leads to a directory elsewhere; after it, the walk must go on
        # with the siblings of "link", not in the target's physical parent.
        elsewhere = self.path("elsewhere")
        make_dir(os.path.join(elsewhere, "target"))
        make_file(os.path.join(elsewhere, "decoy", "decoy.txt"))
        make_file(self.path("walk", "z-after", "after.txt"))
        os.symlink(os.path.join(elsewhere, "target"), self.path("walk", "link"))
        self.stamp_dirs()
        walk = self.path("walk")
        status, out = run([walk, "*.txt"])
        self.assertEqual(BANNER + header(walk, "*.txt") + dir_line(self.path("walk", "z-after")) +
                         entry_line("after.txt", 0) + summary(1), out)

    @unittest.skipIf(UNDER_WINE, "a rule of the Linux build, for Linux's own file systems")
    def test_pseudo_file_systems_are_not_entered_from_outside(self):
        if not os.path.exists("/proc/sys/kernel/ostype"):
            self.skipTest("no /proc here")
        os.symlink("/proc/sys/kernel", self.path("kernel"))
        status, out = run([self.root, "ostype"])
        self.assertEqual((0, BANNER + header(self.root, "ostype") + summary(0)), (status, out))
        status, out = run(["/proc/sys/kernel", "ostype"])
        self.assertEqual(0, status)
        self.assertIn(b"/proc/sys/kernel\n   ostype ", out)


class HostileTreeTest(TreeTestCase):
    def make_deep(self, levels):
        here = os.getcwd()
        os.chdir(self.root)
        try:
            for _ in range(levels):
                os.mkdir("d")
                os.chdir("d")
            with open("bottom.txt", "wb"):
                pass
        finally:
            os.chdir(here)

    @unittest.skipIf(UNDER_WINE, "Wine itself needs more than 64 file descriptors")
    def test_deep_tree_with_few_file_descriptors(self):
        self.make_deep(3000)

        def few_descriptors():
            resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))

        done = subprocess.run([os.environ.get("TROVIX"), self.root, "bottom.txt"],
                              preexec_fn=few_descriptors, stdout=subprocess.PIPE, timeout=120,
                              env=dict(os.environ, TZ="UTC"))
        self.assertEqual(0, done.returncode)
        self.assertTrue(done.stdout.endswith(summary(1)))
        self.assertIn(b"/d/d/d/d", done.stdout)

    @unittest.skipIf(UNDER_WINE, "Wine looks up a path past Linux's 4096 bytes one component "
                     "at a time, so 10,000 levels take hours")
    def test_very_deep_tree_completes(self):
        self.make_deep(10000)
        status, out = run([self.root, "*.txt"], timeout=300)
        self.assertEqual(0, status)
        self.assertTrue(out.endswith(summary(1)))

    @unittest.skipIf(UNDER_WINE and os.geteuid() == 0,
                     "Wine runs only as the owner of its prefix, and root reads every directory")
    def test_unreadable_directory_is_skipped(self):
        make_file(self.path("a-locked", "hidden.txt"))
        make_file(self.path("b-open", "seen.txt"))
        make_dir(self.path("c-noexec"))
        make_file(self.path("c-noexec", "also-hidden.txt"))
        os.chmod(self.path("a-locked"), 0)
        os.chmod(self.path("c-noexec"), 0o644)
        self.stamp_dirs()
        status, out = run([self.root, "*.txt"], prefix=as_nobody())
        self.assertEqual(0, status)
        self.assertEqual(BANNER + header(self.root, "*.txt") + dir_line(self.path("b-open")) +
                         entry_line("seen.txt", 0) + summary(1), out)


if __name__ == "__main__":
    unittest.main()
