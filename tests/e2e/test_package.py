"""Installation and the Debian package. cmake --install puts the program and
its manual page under the prefix; cpack -G DEB packs the same files for
/usr; as root, apt-get installs the package and removes it again without a
trace. The install and removal run only as root, and only where trovix is
not installed already, so a developer's own installation is left alone."""

import fcntl
import glob
import gzip
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from host_tools import need_tools
from trovix_e2e import *

BUILD = os.path.dirname(os.path.abspath(TROVIX))
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MANUAL = os.path.join(SOURCE, "doc", "trovix.1")

# The version that the program's banner names.
VERSION = re.search(rb"Trovix (\S+)", BANNER).group(1).decode()

PACKAGE_DIRS = ["./usr/", "./usr/bin/", "./usr/share/", "./usr/share/man/",
                "./usr/share/man/man1/"]
PACKAGE_FILES = {"./usr/bin/trovix": "-rwxr-xr-x", "./usr/share/man/man1/trovix.1.gz": "-rw-r--r--"}

# Serialises the system-wide install and removal between test runs that
# share this machine.
SYSTEM_LOCK = "/tmp/trovix-package-test.lock"


def command(args, cwd=None, env=None, timeout=600):
    """Runs a command; gives (status, stdout text, stderr text)."""
    full_env = dict(os.environ, LC_ALL="C")
    full_env.update(env or {})
    done = subprocess.run(args, cwd=cwd, env=full_env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")


def is_linux_build():
    try:
        with open(TROVIX, "rb") as program:
            elf = program.read(4) == b"\x7fELF"
    except OSError:
        return False
    return elf and os.path.isfile(os.path.join(BUILD, "CPackConfig.cmake"))


def installed_status():
    """dpkg's status of the trovix package, or "" when it is not there."""
    status = command(["dpkg-query", "-W", "-f", "${Status}", "trovix"])[1]
    return "" if status.endswith(" not-installed") else status


@unittest.skipUnless(is_linux_build(), "needs the Linux build of trovix in its build folder")
class PackageTest(unittest.TestCase):

    package = None  # made once, by the first test that needs it

    @classmethod
    def setUpClass(cls):
        cls.packages = tempfile.mkdtemp(prefix="trovix-package-")
        # apt's download user must be able to read the package file.
        os.chmod(cls.packages, 0o755)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.packages, ignore_errors=True)

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="trovix-package-")

    def tearDown(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def build_package(self):
        need_tools(self, "cpack", "dpkg", "dpkg-deb", "dpkg-shlibdeps")
        if PackageTest.package is None:
            status, out, err = command(["cpack", "-G", "DEB", "--config",
                                        os.path.join(BUILD, "CPackConfig.cmake"),
                                        "-B", self.packages])
            self.assertEqual(0, status, out + err)
            arch = command(["dpkg", "--print-architecture"])[1].strip()
            made = glob.glob(os.path.join(self.packages, "trovix_*.deb"))
            self.assertEqual([os.path.join(self.packages, "trovix_%s_%s.deb" % (VERSION, arch))], made)
            PackageTest.package = made[0]
        return PackageTest.package

    def test_cmake_install_puts_the_program_and_manual_page_under_the_prefix(self):
        need_tools(self, "cmake")
        prefix = os.path.join(self.scratch, "prefix")
        status, out, err = command(["cmake", "--install", BUILD, "--prefix", prefix])
        self.assertEqual(0, status, out + err)
        installed = sorted(os.path.relpath(os.path.join(top, name), prefix)
                           for top, _, names in os.walk(prefix) for name in names)
        self.assertEqual(["bin/trovix", "share/man/man1/trovix.1"], installed)
        self.assertEqual((0, BANNER + b"\n"),
                         run_program(os.path.join(prefix, "bin", "trovix"), ["--version"]))
        with open(MANUAL, "rb") as source, \
                open(os.path.join(prefix, "share/man/man1/trovix.1"), "rb") as page:
            self.assertEqual(source.read(), page.read())

    def test_package_holds_the_program_and_the_compressed_manual_page(self):
        package = self.build_package()
        status, listing, err = command(["dpkg-deb", "-c", package])
        self.assertEqual(0, status, err)
        entries = {}
        for line in listing.splitlines():
            fields = line.split()
            entries[fields[-1]] = (fields[0], fields[1])
        expected = {path: ("drwxr-xr-x", "root/root") for path in PACKAGE_DIRS}
        expected.update({path: (mode, "root/root") for path, mode in PACKAGE_FILES.items()})
        self.assertEqual(expected, entries)

        unpacked = os.path.join(self.scratch, "unpacked")
        self.assertEqual(0, command(["dpkg-deb", "-x", package, unpacked])[0])
        self.assertEqual((0, BANNER + b"\n"),
                         run_program(os.path.join(unpacked, "usr/bin/trovix"), ["--version"]))
        with open(MANUAL, "rb") as source, \
                gzip.open(os.path.join(unpacked, "usr/share/man/man1/trovix.1.gz")) as page:
            self.assertEqual(source.read(), page.read())

    def test_package_control_fields(self):
        package = self.build_package()
        arch = command(["dpkg", "--print-architecture"])[1].strip()
        fields = {}
        for name in ("Package", "Version", "Architecture", "Section", "Priority", "Maintainer",
                     "Depends", "Description"):
            fields[name] = command(["dpkg-deb", "-f", package, name])[1].strip()
        self.assertEqual(("trovix", VERSION, arch, "utils", "optional"),
                         (fields["Package"], fields["Version"], fields["Architecture"],
                          fields["Section"], fields["Priority"]))
        self.assertRegex(fields["Maintainer"], r"^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
        depends = [item.split()[0] for item in fields["Depends"].split(", ")]
        self.assertIn("libc6", depends)
        self.assertIn("libstdc++6", depends)
        summary, *body = fields["Description"].splitlines()
        self.assertLessEqual(len(summary), 80)
        self.assertTrue(body and all(line.startswith(" ") for line in body), body)

    def test_package_owns_no_file_of_another_package(self):
        self.build_package()
        if installed_status():
            self.skipTest("trovix is installed on this machine")
        for path in PACKAGE_FILES:
            with self.subTest(path=path):
                status, owner, _ = command(["dpkg", "-S", path[1:]])
                self.assertNotEqual(0, status, owner)

    @unittest.skipUnless(hasattr(os, "geteuid") and os.geteuid() == 0,
                         "installing a package needs root")
    def test_apt_installs_and_removes_the_package(self):
        package = self.build_package()
        need_tools(self, "apt-get", "dpkg-query")
        with open(SYSTEM_LOCK, "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if installed_status():
                self.skipTest("trovix is installed on this machine already")
            apt = ["apt-get", "-y", "-q", "--no-install-recommends",
                   "-o", "DPkg::Lock::Timeout=300"]
            env = {"DEBIAN_FRONTEND": "noninteractive"}
            try:
                status, out, err = command(apt + ["install", "./" + os.path.basename(package)],
                                           cwd=os.path.dirname(package), env=env)
                self.assertEqual(0, status, out + err)
                self.assertEqual("install ok installed", installed_status())
                self.assertEqual((0, BANNER + b"\n"), run_program("/usr/bin/trovix", ["--version"]))
                if shutil.which("man") and not manual_pages_excluded():
                    found = command(["man", "-w", "trovix"])
                    self.assertEqual((0, "/usr/share/man/man1/trovix.1.gz\n"), found[:2])
            finally:
                status, out, err = command(apt + ["purge", "trovix"], env=env)
            self.assertEqual(0, status, out + err)
            self.assertEqual("", installed_status())
            for path in PACKAGE_FILES:
                self.assertFalse(os.path.lexists(path[1:]), path)


def manual_pages_excluded():
    """True where dpkg is told not to install manual pages (minimal images)."""
    for name in glob.glob("/etc/dpkg/dpkg.cfg.d/*"):
        with open(name, errors="replace") as config:
            if any(line.startswith("path-exclude") and "/usr/share/man" in line
                   for line in config):
                return True
    return False


def run_program(program, args):
    done = subprocess.run([program] + args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=60)
    return done.returncode, done.stdout


if __name__ == "__main__":
    unittest.main()
