"""What each platform layer must give the walk and the listing alike: deep
trees past the length limits, links that lead back into the tree, local
time with the daylight-saving rule of each date, the command line as
typed, and each platform's own switch rule."""

import calendar
import os
import unittest
from trovix_e2e import *


def utc_stamp(text):
    """Seconds since 1970 of a "YYYY-MM-DD HH:MM:SS" UTC time."""
    return calendar.timegm(tuple(int(x) for x in text.replace("-", " ").replace(":", " ").split())
                           + (0, 0, 0))


class DeepTreeTest(TreeTestCase):
    """Below the depth that the process's current directory can take (258
    characters on Windows, 4095 bytes on Linux), nothing may be lost."""

    LEVELS = 24  # paths of about 1,000 characters

    def make_chain(self):
        levels = []
        here = self.root
        for i in range(self.LEVELS):
            here = os.path.join(here, "level%02d-%s" % (i, "x" * 33))
            content = b"the needle is here" if i % 5 == 4 else b"only hay"
            make_file(os.path.join(here, "f.txt"), content=content)
            levels.append((here, len(content), i % 5 == 4))
        self.stamp_dirs()
        self.assertGreater(len(native(here)), 1000)
        return levels

    def test_every_level_is_listed(self):
        levels = self.make_chain()
        status, out = run([self.root, "*.txt"])
        expected = header(self.root, "*.txt")
        for path, size, _ in levels:
            expected += dir_line(path) + entry_line("f.txt", size)
        expected += summary(len(levels))
        self.assertEqual(BANNER + expected, out)
        self.assertEqual(0, status)

    def test_files_are_read_at_every_level(self):
        levels = self.make_chain()
        status, out = run([self.root, "*.txt", "/i", "NEEDLE"])
        expected = header(self.root, "*.txt", "NEEDLE", sensitive=False)
        found = [(path, size) for path, size, has_text in levels if has_text]
        for path, size in found:
            expected += dir_line(path) + entry_line("f.txt", size)
        expected += summary(len(found))
        self.assertEqual(BANNER + expected, out)
        self.assertEqual(0, status)

    def test_start_directory_past_the_limit(self):
        levels = self.make_chain()
        start = levels[9][0]
        status, out = run([start, "*.txt"])
        expected = header(start, "*.txt")
        for path, size, _ in levels[9:]:
            expected += dir_line(path) + entry_line("f.txt", size)
        expected += summary(len(levels) - 9)
        self.assertEqual(BANNER + expected, out)
        self.assertEqual(0, status)


class LinkCycleTest(TreeTestCase):

    def test_link_to_an_ancestor_is_listed_but_walked_once(self):
        make_file(self.path("a", "inner.txt"))
        os.symlink(self.root, self.path("a", "loop"))
        self.stamp_dirs()
        status, out = run([self.root, "*.*"])
        self.assertEqual(BANNER + header(self.root, "*.*")
                         + dir_line(self.root) + entry_line("a", "<DIR>")
                         + dir_line(self.path("a")) + entry_line("inner.txt", 0)
                         + entry_line("loop", "<DIR>")
                         + summary(3), out)
        self.assertEqual(0, status)


@unittest.skipUnless(os.path.exists("/usr/share/zoneinfo/Europe/Berlin"), "needs tzdata")
class LocalTimeTest(TreeTestCase):
    """Each date takes the offset in force on that date, whatever the date of
    the run: summer files one hour further from UTC than winter files."""

    def test_offset_of_each_date(self):
        cases = [
            ("january.txt", "2002-01-15 12:00:00", "2002-01-15", "13:00:00"),
            ("july.txt", "2002-07-15 12:00:00", "2002-07-15", "14:00:00"),
            ("newyear.txt", "2002-12-31 23:30:05", "2003-01-01", "00:30:05"),
            ("october.txt", "2002-10-27 00:59:59", "2002-10-27", "02:59:59"),
            ("zlast.txt", "2002-10-27 01:00:00", "2002-10-27", "02:00:00"),
        ]
        for name, stamp, _, _ in cases:
            make_file(self.path(name), stamp=utc_stamp(stamp))
        status, out = run([self.root, "*.txt"], env={"TZ": "Europe/Berlin"})
        expected = header(self.root, "*.txt") + dir_line(self.root)
        for name, _, date, time in cases:
            expected += entry_line(name, 0, date, time)
        self.assertEqual(BANNER + expected + summary(len(cases)), out)
        self.assertEqual(0, status)


class CommandLineTest(TreeTestCase):

    def test_filespec_reaches_the_program_unexpanded(self):
        # Started in the folder that holds the matches: a runtime that
        # expanded "*.txt" would hand over three more positionals.
        for name in ("a.txt", "b.txt", "c.txt"):
            make_file(self.path(name))
        self.stamp_dirs()
        status, out = run([self.root, "*.txt"], cwd=self.root)
        self.assertEqual(BANNER + header(self.root, "*.txt") + dir_line(self.root)
                         + entry_line("a.txt", 0) + entry_line("b.txt", 0)
                         + entry_line("c.txt", 0) + summary(3), out)
        self.assertEqual(0, status)

    def test_pause_without_a_console_pages_nothing(self):
        for i in range(60):
            make_file(self.path("f%02d.txt" % i))
        self.stamp_dirs()
        status, out = run([self.root, "*.txt", "/P"])
        expected = header(self.root, "*.txt") + dir_line(self.root)
        for i in range(60):
            expected += entry_line("f%02d.txt" % i, 0)
        self.assertEqual(BANNER + expected + summary(60), out)
        self.assertEqual(0, status)

    def test_long_argument_after_a_slash(self):
        # On Windows every argument that begins with "/" is a switch, and
        # only its second character counts; on Linux such an argument of more
        # than two characters is a path.
        make_file(self.path("a.txt"))
        self.stamp_dirs()
        status, out = run([self.root, "*.txt", "/Pause"])
        if UNDER_WINE:
            self.assertEqual(BANNER + header(self.root, "*.txt") + dir_line(self.root)
                             + entry_line("a.txt", 0) + summary(1), out)
            self.assertEqual(0, status)
        else:
            self.assertTrue(out.startswith(BANNER + b"\n\nSyntax: trovix"), out)
            self.assertEqual(255, status)


@unittest.skipUnless(UNDER_WINE and os.environ.get("WINEPREFIX"), "Windows build under Wine")
class DriveRootTest(TreeTestCase):
    """Without a start path the search begins at the root of the current
    drive, here a drive T: of Wine's that is the test's folder."""

    def test_filespec_alone_searches_the_current_drive(self):
        make_file(self.path("a.txt"))
        make_file(self.path("sub", "b.txt"))
        self.stamp_dirs()
        drive = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "t:")
        os.symlink(self.root, drive)
        try:
            status, out = run(["*.txt"], cwd=self.path("sub"))
        finally:
            os.remove(drive)
        self.assertEqual(BANNER + header("\\", "*.txt") + b"T:\\\n" + entry_line("a.txt", 0)
                         + b"T:\\sub\n" + entry_line("b.txt", 0) + summary(2), out)
        self.assertEqual(0, status)


if __name__ == "__main__":
    unittest.main()
