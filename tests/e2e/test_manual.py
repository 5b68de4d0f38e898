"""The manual page, doc/trovix.1: formats without a warning, fits an
80-column terminal, agrees with the usage text, and its example is what the
program prints."""

import calendar
import os
import re
import subprocess
import unittest

from host_tools import need_tools
from trovix_e2e import *

MANUAL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "doc", "trovix.1")
WIDTH = 80

# The tree of the manual's example, as (path, size, last write in UTC);
# directories end with "/".
EXAMPLE_TREE = [
    ("todo.txt", 57, "2024-03-02 09:14:05"),
    ("budget-2024.txt", 62, "2024-01-15 18:40:12"),
    ("ideas.md", 34, "2023-11-30 07:05:59"),
    ("archive/2023/old-todo.txt", 11, "2023-06-12 21:02:44"),
    ("archive/2023/minutes of the long planning meeting.txt", 62, "2023-09-08 16:30:00"),
    ("drafts/chapter-1.txt", 10, "2024-02-20 22:17:31"),
    ("drafts/chapter-2.txt", 10, "2024-02-27 23:48:09"),
    ("drafts/cover.png", 48213, "2024-02-21 10:03:16"),
]
EXAMPLE_ROOT = "/home/ann/notes"
EXAMPLE_COMMAND = "$ trovix %s '*.txt'" % EXAMPLE_ROOT


def render(width=WIDTH):
    """The manual as man shows it: (status, text, warnings)."""
    env = dict(os.environ, MANWIDTH=str(width), LC_ALL="C", MANPAGER="cat", PAGER="cat")
    done = subprocess.run(["man", "--warnings", "-l", MANUAL], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def section(text, title):
    """The lines of one section of the rendered manual, without its title."""
    lines = text.splitlines()
    start = lines.index(title) + 1
    end = next((i for i in range(start, len(lines)) if re.match(r"[A-Z]", lines[i])), len(lines))
    return lines[start:end]


class ManualTest(TreeTestCase):

    def test_formatters_find_nothing_to_warn_about(self):
        need_tools(self, "groff", "mandoc")
        for command in (["groff", "-man", "-wall", "-ww", "-z", MANUAL],
                        ["mandoc", "-T", "lint", "-W", "style", MANUAL]):
            with self.subTest(command=command[0]):
                done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                      timeout=60)
                self.assertEqual((0, b"", b""), (done.returncode, done.stdout, done.stderr))

    def test_man_shows_it_on_an_80_column_terminal(self):
        need_tools(self, "man")
        status, text, warnings = render()
        self.assertEqual((0, ""), (status, warnings))
        self.assertIn("TROVIX(1)", text)
        version = re.search(r"Trovix (\S+)", BANNER.decode()).group(1)
        self.assertRegex(text.splitlines()[-1], r"^Trovix %s " % re.escape(version))
        wide = [line for line in text.splitlines() if len(line) > WIDTH]
        self.assertEqual([], wide)

    def test_synopsis_and_switches_agree_with_the_usage_text(self):
        need_tools(self, "man")
        status, usage = run(["--help"])
        self.assertEqual(0, status)
        syntax = re.search(rb"^Syntax: (.*)$", usage, re.M).group(1).decode()
        usage_switches = set(re.findall(rb"^(/[A-Z]) ", usage, re.M))
        text = render()[1]
        synopsis = [line.strip() for line in section(text, "SYNOPSIS")]
        self.assertEqual([syntax, "trovix --help", "trovix --version"], synopsis[:3])
        tags = [line.split()[0] for line in section(text, "OPTIONS") if re.match(r" {7}/", line)]
        self.assertEqual(sorted(s.decode() for s in usage_switches), sorted(tags))

    def test_example_is_the_programs_own_output(self):
        need_tools(self, "man")
        for path, size, when in EXAMPLE_TREE:
            make_file(self.path(path), content=b"x" * size,
                      stamp=calendar.timegm(time_fields(when)))
        self.stamp_dirs()
        lines = render()[1].splitlines()
        start = [line.strip() for line in lines].index(EXAMPLE_COMMAND)
        indent = lines[start].index("$")
        end = next(i for i in range(start, len(lines)) if lines[i].endswith("file(s) found"))
        shown = "".join(line[indent:] + "\n" for line in lines[start + 1:end + 1]).encode()
        status, output = run([self.root, "*.txt"])
        self.assertEqual(0, status)
        self.assertEqual(shown, output.replace(self.root.encode(), EXAMPLE_ROOT.encode()))


def time_fields(text):
    date, clock = text.split()
    return tuple(int(part) for part in date.split("-") + clock.split(":"))


if __name__ == "__main__":
    unittest.main()
