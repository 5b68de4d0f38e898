"""End-to-end tests of the content filter: /C and /I list only the files
whose bytes hold the text."""

import os
import shutil
import socket
import stat
import unittest

from trovix_e2e import *

BLOCK = 16384
AS_NOBODY = ("setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups")


def listed(output):
    """The names of the listed entries, in order."""
    return [line[3:38].rstrip(b" ") for line in output.split(b"\n") if line.startswith(b"   ")]


def letters(length, seed):
    """Deterministic letters that repeat no short unit."""
    out = bytearray()
    value = seed
    for _ in range(length):
        value = (value * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(ord("a") + (value >> 16) % 26)
    return bytes(out)


class ContentFilterTest(TreeTestCase):

    def search(self, switch, text, spec="*.txt", prefix=()):
        status, output = run([self.root, spec, switch, text], prefix=prefix, timeout=60)
        self.assertEqual(0, status, output)
        return output

    def check_searches(self, cases):
        for switch, text, expected in cases:
            with self.subTest(switch=switch, text=text):
                if UNDER_WINE and max(os.fsencode(text), default=0) > 0x7F:
                    self.skipTest("Wine hands the program a non-ASCII argument converted from the "
                                  "Unix locale to the ANSI code page, so other bytes arrive")
                self.assertEqual(sorted(expected), sorted(listed(self.search(switch, text))))

    def test_case_rules_of_c_and_i(self):
        contents = {
            "title.txt": b"a Budget line",
            "upper.txt": b"only BUDGET here",
            "lower.txt": b"budget",
            "mixed.txt": b"xxBuDgEtxx",
            "utf16.txt": "budget".encode("utf-16-le"),
            "latin_upper.txt": b"caf\xc9",
            "latin_lower.txt": b"caf\xe9",
            "utf8_upper.txt": "CAF\u00c9".encode(),
            "brackets.txt": b"[x] @",
        }
        for name, content in contents.items():
            make_file(self.path(name), content=content)
        self.check_searches([
            ("/C", "Budget", [b"title.txt"]),
            ("/I", "Budget", [b"title.txt", b"upper.txt", b"lower.txt", b"mixed.txt"]),
            ("/i", "BUDGET", [b"title.txt", b"upper.txt", b"lower.txt", b"mixed.txt"]),
            # Bytes from 0x80 up are compared as they are, also with /I.
            ("/I", b"caf\xe9", [b"latin_lower.txt"]),
            ("/I", b"CAF\xc9", [b"latin_upper.txt"]),
            ("/I", "caf\u00e9".encode(), []),
            ("/I", "caf\u00c9".encode(), [b"utf8_upper.txt"]),
            # Non-letters that differ from letters' case bit stay apart.
            ("/I", "{X}", []),
            ("/I", "[X] `", []),
            ("/I", "[X] @", [b"brackets.txt"]),
        ])

    def test_text_at_every_position_across_the_block_boundary(self):
        text = b"NEEDLE"
        filler = b"NEEDL" * (2 * BLOCK // 5)
        starts = range(BLOCK - len(text), BLOCK + 1)
        for start in starts:
            make_file(self.path("at%d.txt" % start),
                      content=filler[:start] + text + filler[:BLOCK])
            make_file(self.path("low%d.txt" % start),
                      content=filler[:start] + text.lower() + filler[:BLOCK])
        make_file(self.path("miss.txt"), content=filler[:BLOCK - 3] + b"NEEDLF" + filler[:99])
        at = [b"at%d.txt" % start for start in starts]
        low = [b"low%d.txt" % start for start in starts]
        self.check_searches([("/C", "NEEDLE", at), ("/I", "needle", at + low)])

    def test_files_of_many_blocks(self):
        body = b"abcabc" * (300 * 1024)
        make_file(self.path("none.txt"), content=body)
        make_file(self.path("last.txt"), content=body + b"abd")
        make_file(self.path("runs.txt"), content=b"a" * (5 * BLOCK) + b"b")
        text = letters(BLOCK + 3000, 7)
        make_file(self.path("holds.txt"), content=letters(BLOCK - 100, 1) + text + b"tail")
        make_file(self.path("upper.txt"), content=text.upper())
        make_file(self.path("short.txt"), content=letters(900, 2) + text[:-1])
        make_file(self.path("changed.txt"), content=text[:BLOCK] + b"#" + text[BLOCK + 1:])
        self.check_searches([
            # Near-misses repeated through the file.
            ("/C", "abcabd", [b"last.txt"]),
            ("/I", "ABCABD", [b"last.txt"]),
            ("/C", "a" * 40 + "b", [b"runs.txt"]),
            ("/C", "a" * 40 + "c", []),
            # A text longer than a block.
            ("/C", text, [b"holds.txt"]),
            ("/I", text, [b"holds.txt", b"upper.txt"]),
        ])

    def test_handles_are_closed(self):
        for index in range(100):
            make_file(self.path("f%03d.txt" % index), content=b"text" if index % 2 else b"")
        limit = ("sh", "-c", 'ulimit -n 16 && exec "$@"', "sh")
        status, output = run([self.root, "*.txt", "/C", "text"], prefix=limit)
        self.assertEqual(0, status)
        self.assertEqual([b"f%03d.txt" % index for index in range(1, 100, 2)], listed(output))

    def test_empty_file_and_empty_text(self):
        make_file(self.path("empty.txt"))
        make_file(self.path("full.txt"), content=b"x")
        make_dir(self.path("folder.txt"))
        make_file(self.path("folder.txt", "inner.txt"), content=b"y")
        self.check_searches([
            ("/C", "x", [b"full.txt"]),
            # The empty text is contained in every file, an empty one too.
            ("/C", "", [b"empty.txt", b"full.txt", b"inner.txt"]),
            ("/I", "", [b"empty.txt", b"full.txt", b"inner.txt"]),
        ])

    @unittest.skipIf(UNDER_WINE, "Windows has no FIFOs, sockets or devices in a folder; Wine "
                     "shows them as files and blocks opening a FIFO")
    def test_fifos_sockets_and_devices_neither_hang_nor_pass(self):
        make_file(self.path("plain.txt"), content=b"\0zero")
        os.mkfifo(self.path("pipe.txt"))
        os.symlink("pipe.txt", self.path("pipe_link.txt"))
        os.symlink("/dev/zero", self.path("zero.txt"))
        os.symlink("/dev/null", self.path("null.txt"))
        server = socket.socket(socket.AF_UNIX)
        self.addCleanup(server.close)
        try:
            server.bind(self.path("sock.txt"))
        except OSError:
            pass  # a temporary folder too deep for a socket's path
        try:
            os.mknod(self.path("zero_node.txt"), 0o666 | stat.S_IFCHR, os.makedev(1, 5))
        except OSError:
            pass  # only root may make device nodes, and not in every container
        # A FIFO that a writer holds open without writing.
        holder = os.open(self.path("pipe.txt"), os.O_RDWR)
        self.addCleanup(os.close, holder)
        self.check_searches([
            ("/C", "zero", [b"plain.txt"]),
            ("/I", "", [b"plain.txt"]),
        ])

    def test_unreadable_file_is_skipped(self):
        make_file(self.path("open.txt"), content=b"secret")
        make_file(self.path("closed.txt"), content=b"secret")
        os.chmod(self.path("closed.txt"), 0)
        prefix = ()
        if os.geteuid() == 0:
            if UNDER_WINE:
                self.skipTest("Wine runs only as the owner of its prefix, and root reads every file")
            if shutil.which("setpriv") is None:
                self.skipTest("running as root and setpriv is missing")
            status, _ = run([], prefix=AS_NOBODY)
            if status != 255:
                self.skipTest("user nobody cannot run %s" % TROVIX)
            prefix = AS_NOBODY
        output = self.search("/C", "secret", prefix=prefix)
        self.assertEqual([b"open.txt"], listed(output))

    def test_headers_only_above_listed_files(self):
        make_file(self.path("top.txt"), content=b"nothing here")
        make_file(self.path("A", "a.txt"), content=b"no")
        make_dir(self.path("A", "needle.txt"))
        make_file(self.path("B", "b1.txt"), content=b"a needle", stamp=STAMP)
        make_file(self.path("B", "b2.txt"), content=b"a Needle")
        os.symlink("b1.txt", self.path("B", "link.txt"))
        make_file(self.path("C", "c.txt"), content=b"no")
        b_header = dir_line(self.path("B"))
        self.assertEqual(
            BANNER + header(self.root, "*.txt", "needle", sensitive=True)
            + b_header + entry_line("b1.txt", 8) + entry_line("link.txt", 8) + summary(2),
            self.search("/C", "needle"))
        # The header shows the text as typed, not its folded copy.
        self.assertEqual(
            BANNER + header(self.root, "*.txt", "nEeDlE", sensitive=False)
            + b_header + entry_line("b1.txt", 8) + entry_line("b2.txt", 8)
            + entry_line("link.txt", 8) + summary(3),
            self.search("/I", "nEeDlE"))


if __name__ == "__main__":
    unittest.main()
