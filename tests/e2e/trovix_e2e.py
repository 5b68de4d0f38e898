"""Shared helpers for the end-to-end tests: run the built program, build
trees with exact names, sizes and times, and lay out expected lines."""

import os
import subprocess
import tempfile
import unittest

# The program under test: $TROVIX, set by CTest.
TROVIX = os.environ.get("TROVIX", os.path.join(os.path.dirname(__file__), "..", "..", "build", "trovix"))

BANNER = b"\nTrovix 2.1 for Win32"

# The Windows build, trovix.exe, runs under Wine ($WINE, default "wine").  It
# takes and shows Windows paths, Z:\tmp\... for /tmp/..., and ends its lines
# with CRLF; run() gives its output with LF, and native() and dir_line() give
# paths as it shows them.
UNDER_WINE = TROVIX.lower().endswith(".exe")
WINE = os.environ.get("WINE", "wine")


def native(path):
    """A path as the program under test takes and shows it."""
    if not UNDER_WINE:
        return path
    if isinstance(path, bytes):
        return os.fsencode(native(os.fsdecode(path)))
    return ("Z:" + path if path.startswith("/") else path).replace("/", "\\")


def _native_argument(arg):
    # Only paths below a folder of this machine: a switch such as "/" or a
    # text such as "/capture" stays as it is.
    if isinstance(arg, (str, bytes)) and os.path.isabs(arg):
        parent = os.path.dirname(arg)
        if len(parent) > 1 and os.path.lexists(parent):
            return native(arg)
    return arg


def _from_wine_output(out):
    bare = out.replace(b"\r\n", b"")
    if b"\n" in bare:
        raise AssertionError("a line ends without CR under Wine: %r" % out[:2000])
    return out.replace(b"\r\n", b"\n")


def dir_line(path):
    """The header line of a directory: its path as the program shows it,
    cut to 75 characters and "..." when longer, and a newline."""
    shown = native(path)
    if isinstance(shown, str):
        shown = os.fsencode(shown)
    if len(shown) > 75:
        shown = shown[:75] + b"..."
    return shown + b"\n"

# A fixed instant and zone, so expected lines do not depend on the machine.
STAMP = 1033245078  # 2002-09-28 20:31:18 UTC
STAMP_TEXT = ("2002-09-28", "20:31:18")


# How much of the large trees to build: below 1 under the sanitizers, where
# every system call and allocation costs several times more.
SCALE = float(os.environ.get("TROVIX_E2E_SCALE", "1"))


def scaled(count, least=1):
    return max(least, int(count * SCALE))


def program_env(env=None):
    full_env = dict(os.environ)
    full_env["TZ"] = "UTC"
    if env:
        full_env.update(env)
    return full_env


class ProgramError(AssertionError):
    pass


def command(args):
    """The command line that runs trovix with the arguments."""
    if UNDER_WINE:
        return [WINE, TROVIX] + [_native_argument(arg) for arg in args]
    return [TROVIX] + list(args)


def run(args, cwd=None, env=None, timeout=120, stdin=subprocess.DEVNULL, prefix=()):
    """Runs trovix with the arguments; gives (status, stdout bytes).

    A run that writes to standard error fails the test: the program has no
    error stream of its own, so anything there is a crash or a sanitizer
    report."""
    done = subprocess.run(list(prefix) + command(args), cwd=cwd, env=program_env(env),
                          stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout)
    if done.stderr:
        raise ProgramError("trovix %r wrote to stderr:\n%s" %
                           (list(args), done.stderr.decode(errors="replace")))
    if UNDER_WINE:
        return done.returncode, _from_wine_output(done.stdout)
    return done.returncode, done.stdout


def entry_line(name, size, date=STAMP_TEXT[0], time=STAMP_TEXT[1]):
    """The 75-column line of one entry; size is a number or "<DIR>"."""
    if isinstance(name, str):
        name = name.encode()
    if len(name) > 35:
        name = name[:32] + b"..."
    year, month, day = date.split("-")
    hour, minute, second = time.split(":")
    tail = "%13s%7s-%s-%s%5s:%s:%s\n" % (size, year, month, day, hour, minute, second)
    return b"   " + name.ljust(35) + tail.encode()


def header(start, spec, text=None, sensitive=True):
    start = _native_argument(start)
    if text is None:
        return b"\n\nSearch %s for %s\n\n" % (start.encode(), spec.encode())
    kind = b"sensitive" if sensitive else b"insensitive"
    return b"\n\nSearch %s for %s containing (%s) %s\n\n" % (
        start.encode(), spec.encode(), kind, text.encode())


def summary(count):
    return b"\n%d file(s) found\n" % count


def make_file(path, size=0, content=None, stamp=STAMP):
    """A file of the size (sparse) or content, last written at stamp."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        if content is not None:
            out.write(content)
        elif size:
            out.truncate(size)
    os.utime(path, (stamp, stamp), follow_symlinks=False)


def make_dir(path, stamp=STAMP):
    os.makedirs(path, exist_ok=True)
    os.utime(path, (stamp, stamp))


def set_stamp(path, stamp=STAMP):
    os.utime(path, (stamp, stamp), follow_symlinks=False)


class TreeTestCase(unittest.TestCase):
    """A test with a fresh temporary folder, self.root, readable by all."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="trovix-e2e-")
        os.chmod(self.root, 0o755)

    def tearDown(self):
        # chmod and rm cope with trees deeper than Python's recursion limit.
        subprocess.run(["chmod", "-R", "u+rwx", self.root], stderr=subprocess.DEVNULL)
        subprocess.run(["rm", "-rf", self.root])

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def stamp_dirs(self):
        """Gives every directory the fixed stamp, after its contents are made."""
        for top, dirs, _ in os.walk(self.root, topdown=False):
            for name in dirs:
                path = os.path.join(top, name)
                if not os.path.islink(path):
                    set_stamp(path)
        set_stamp(self.root)
