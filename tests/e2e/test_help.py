"""--help and --version: answered only when alone on the command line; in
any other place they keep their ordinary meaning as a path or a pattern."""

import unittest

from trovix_e2e import *


class HelpAndVersionTest(TreeTestCase):

    def test_help_prints_the_usage_text_with_status_0(self):
        usage_status, usage = run([])
        self.assertEqual(255, usage_status)
        self.assertTrue(usage.startswith(BANNER + b"\n\nSyntax: trovix [startpath] filespec"))
        self.assertEqual((0, usage), run(["--help"]))

    def test_version_prints_the_banner_and_a_newline(self):
        self.assertEqual((0, BANNER + b"\n"), run(["--version"]))

    def test_anywhere_else_the_words_are_paths_and_patterns(self):
        make_file(self.path("--help"))
        make_file(self.path("--version.txt"))
        make_file(self.path("other"))
        self.stamp_dirs()
        group = self.root.encode() + b"\n"
        cases = [
            ([self.root, "--*"], 0, header(self.root, "--*") + group +
             entry_line("--help", 0) + entry_line("--version.txt", 0) + summary(2)),
            ([self.root, "--help"], 0,
             header(self.root, "--help") + group + entry_line("--help", 0) + summary(1)),
            ([self.root, "--version"], 0, header(self.root, "--version") + summary(0)),
            # Run inside the tree, where "--help" is a file, not a directory.
            (["--help", "*"], 255, header("--help", "*") + b"Error: Unable to enter --help\n"),
            (["--version", "--help"], 255,
             header("--version", "--help") + b"Error: Unable to enter --version\n"),
        ]
        for args, status, expected in cases:
            with self.subTest(args=args):
                self.assertEqual((status, BANNER + expected), run(args, cwd=self.root))


if __name__ == "__main__":
    unittest.main()
