"""The release as a user gets it, made in temporary folders and never installed."""
import calendar, glob, os, pathlib, re, shlex, shutil, subprocess, tempfile, time, unittest, zipfile

TROVIX = os.path.abspath(os.environ["TROVIX"])
BUILD, SOURCE, WINDOWS = os.path.dirname(TROVIX), pathlib.Path(__file__).resolve().parents[2], TROVIX.endswith(".exe")
CACHE = open(BUILD + "/CMakeCache.txt").read()
VERSION, SANITIZED = re.search(r"CMAKE_PROJECT_VERSION:\w+=(.*)", CACHE)[1], "SANITIZE:BOOL=ON" in CACHE
# The examples' /home/ann/notes: name, size, first bytes (None for a directory), last write in UTC.
TREE = [("todo.txt", 57, b"budget", "2024-03-02 09:14:05"), ("budget-2024.txt", 62, b"Budget", "2024-01-15 18:40:12"),
        ("ideas.md", 34, b"", "2023-11-30 07:05:59"), ("drafts/chapter-1.txt", 10, b"", "2024-02-20 22:17:31"),
        ("archive/2023/minutes of the long planning meeting.txt", 62, b"BUDGET", "2023-09-08 16:30:00"),
        ("archive/2023/old-todo.txt", 11, b"", "2023-06-12 21:02:44"), ("archive", 0, None, "2023-09-08 16:30:00"),
        ("drafts/chapter-2.txt", 10, b"", "2024-02-27 23:48:09"), ("drafts", 0, None, "2024-02-27 23:48:09")]
EXAMPLE = re.compile(r"^( *)\$ (trovix /home/ann/notes .*)\n((?:.*\n)*?)\1(\d+ file\(s\) found|\.\.\. Press.*)$", re.M)
FILES = ("bash-completion/completions/trovix bin/trovix doc/trovix/changelog.Debian.gz doc/trovix/copyright "
         "fish/vendor_completions.d/trovix.fish man/man1/trovix.1.gz zsh/vendor-completions/_trovix").split()
# The options that answer alone, as the one and only argument; both documents name them all.
OPTIONS = ["--help", "--version", "-h"]
# A command line as typed so far, and what each shell offers to complete it; {} is a temporary folder.
COMPLETIONS = [("trovix {}/s", "{}/sub1 {}/sub2"), ("trovix sub1 ", ""), ("trovix '*.txt' /", "/C /I /P"),
               ("trovix sub1 '*.txt' ", "/C /I /P"), ("trovix . '*' /C ", ""), ("trovix . '*' /i a ", "/C /I /P"),
               ("trovix / ", ""), ("trovix '*.txt' /c", "/C"), ("trovix . '*' /i a /p", "/P")]  # "/" is a path
SHELLS = {"bash": ("trovix.bash", 'source "$0"; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _trovix; '
                   'printf "%s\\n" "${COMPREPLY[@]}"'),
          "zsh": ("_trovix", 'compadd() { print -rl -- "${@[${@[(i)--]}+1,-1]}" }; _message() { }; _files() { print -rl -- '
                  '$words[CURRENT]*(N/) }; words=("$@"); CURRENT=$#; source "$0"'),
          "fish": ("trovix.fish", 'source $argv[1]; complete -C "$argv[2..-1]"')}


def run(args, **env):
    done = subprocess.run(args, env=dict(os.environ, LC_ALL="C", MANWIDTH="80", **env), capture_output=True)
    return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")


class Release(unittest.TestCase):
    def setUp(self):
        if WINDOWS and self._testMethodName != "test_package":
            self.skipTest("a check of the Linux build")
        self.tmp = self.enterContext(tempfile.TemporaryDirectory(prefix="trovix-release-"))

    def need(self, *tools):  # a missing tool skips the test, and fails it in CI
        if not all(map(shutil.which, tools)):
            (self.fail if os.environ.get("CI") else self.skipTest)("needs " + " ".join(tools))

    def test_package(self):  # cpack makes the build's own: a .deb on Linux, a zip for Windows
        if SANITIZED: self.skipTest("a sanitizer build is not what is packaged, and has no hardening")
        self.need("cpack", *[] if WINDOWS else ["dpkg-deb", "dpkg-shlibdeps", "lintian"])
        manifest = pathlib.Path(BUILD, "install_manifest.txt")  # what "cmake --install" put in place, for uninstalling
        before = manifest.read_bytes() if manifest.exists() else None
        self.assertEqual(0, run(["cpack", "--config", BUILD + "/CPackConfig.cmake", "-B", self.tmp])[0])
        self.assertEqual(before, manifest.read_bytes() if manifest.exists() else None)
        package, = glob.glob(self.tmp + ("/trovix-%s-win??.zip" if WINDOWS else "/trovix_%s-1_*.deb") % VERSION)
        if WINDOWS:
            with zipfile.ZipFile(package) as archive:
                files = {name.split("/")[-1]: archive.read(name) for name in archive.namelist()}
            self.assertEqual(["LICENSE.txt", "README.txt", "trovix.exe"], sorted(files))
            self.assertEqual([0, 0], [files[name].replace(b"\r\n", b"").count(b"\n") for name in sorted(files)[:2]])
            objdump = "%s-w64-mingw32-objdump" % ("x86_64" if package.endswith("win64.zip") else "i686")
            self.need(objdump)  # the DLLs it loads are the system's own: nothing else to ship
            self.assertEqual(["KERNEL32.dll", "msvcrt.dll"], sorted(re.findall(r"DLL Name: (\S+)", run([objdump, "-p", TROVIX])[1])))
            return self.assertLess(len(files["trovix.exe"]), os.path.getsize(TROVIX))  # stripped
        self.assertEqual((0, ""), run(["lintian", "-I", "-E", "--pedantic", package])[:2])
        self.assertEqual(FILES, sorted(re.findall(r"(?m)^-.* \./usr/(?:share/)?(.*)", run(["dpkg-deb", "-c", package])[1])))
        self.assertEqual("bash-completion\n", run(["dpkg-deb", "-f", package, "Suggests"])[1])  # bash reads FILES[0] only through it
        self.assertEqual("\nTrovix %s for Win32\n" % VERSION, run([TROVIX, "--version"])[1])

    def test_manual_page_and_the_examples_in_it_and_the_readme(self):
        self.need("man", "mandoc")
        self.assertEqual((0, "", ""), run(["mandoc", "-T", "lint", "-W", "style", BUILD + "/doc/trovix.1"]))
        status, manual, err = run(["man", "--warnings", "-l", BUILD + "/doc/trovix.1"])
        self.assertEqual((0, "", 80), (status, err, max(80, *map(len, manual.splitlines()))))
        for name, size, start, when in TREE:
            (path := pathlib.Path(self.tmp, name)).parent.mkdir(parents=True, exist_ok=True)
            path.mkdir(exist_ok=True) if start is None else path.write_bytes(start.ljust(size, b"."))
            os.utime(path, (0, calendar.timegm(time.strptime(when, "%Y-%m-%d %H:%M:%S"))))
        self.assertEqual(4, len(examples := EXAMPLE.findall((SOURCE / "README.md").read_text() + manual)))
        for indent, command, body, last in examples:  # the whole output, or a pager's first screen of it
            shown = [line[len(indent):] for line in body.splitlines()] + [last] * ("found" in last)
            args = [arg.replace("/home/ann/notes", self.tmp) for arg in shlex.split(command)[1:]]
            lines = run([TROVIX] + args, TZ="UTC")[1].replace(self.tmp, "/home/ann/notes").splitlines()
            self.assertEqual(shown, lines[:len(shown)] if "Press" in last else lines, command)

    def test_what_the_readme_and_the_manual_tell_of_options_sizes_and_switches(self):
        self.need("man")
        manual = " ".join(run(["man", "-l", BUILD + "/doc/trovix.1"])[1].split())
        readme = " ".join((SOURCE / "README.md").read_text().split())
        synopsis = manual.split(" SYNOPSIS ")[1].split(" DESCRIPTION ")[0]
        alone = re.search(r"((?:`-[-\w]+`(?:, | and )?)+) work only as the one and only argument", readme)[1]
        for named in re.findall(r"`(-[-\w]+)`", alone), re.findall(r"(?<!\S)(-[-\w]+)", synopsis):
            self.assertEqual(OPTIONS, sorted(named))
        answers = {option: run([TROVIX, option]) for option in OPTIONS}
        self.assertEqual((0, True, ""), (answers["--help"][0], "Syntax:" in answers["--help"][1], answers["--help"][2]))
        self.assertEqual(answers["--help"], answers["-h"])
        self.assertEqual((0, "\nTrovix %s for Win32\n" % VERSION, ""), answers["--version"])
        # Each switch the documents give as refused is refused in the filespec's place, where a path is not.
        refused = re.findall(r"unknown switch \(?such as (.+?)(?:\)|, a third)", readme + manual) + re.findall(
            r"\band ([^()]+?), which are rejected", readme)
        self.assertEqual(3, len(refused))
        for switch in {s for text in refused for s in re.findall(r"/[^\s`,)]*", text)}:
            status, out, _ = run([TROVIX, self.tmp, switch])
            self.assertEqual((255, True), (status, "Syntax:" in out), switch)
        # Sizes are whole; from the size both documents give, a line is wider than 75 columns.
        (size_in_readme,), (size_in_manual,) = [re.findall(r"a size of (\d+) TB or more", text) for text in (readme, manual)]
        self.assertEqual(size_in_readme, size_in_manual)
        wide = int(size_in_readme) * 10**12
        for name, size in ("a", wide - 1), ("b", wide):
            with open(self.tmp + "/" + name, "wb") as sparse:
                try:
                    sparse.truncate(size)
                except OSError:
                    self.skipTest("the temporary folder cannot hold a file of %d bytes" % size)
        lines = [line for line in run([TROVIX, self.tmp, "*"])[1].splitlines() if line.startswith("   ")]
        self.assertEqual([(75, str(wide - 1)), (76, str(wide))], [(len(line), line.split()[1]) for line in lines])

    def test_shell_completion(self):
        self.need(*SHELLS)
        os.mkdir(self.tmp + "/sub1"), os.mkdir(self.tmp + "/sub2")
        for (typed, offered), (shell, (name, script)) in [(c, s) for c in COMPLETIONS for s in SHELLS.items()]:
            typed, offered = typed.replace("{}", self.tmp), offered.replace("{}", self.tmp).split()
            _, out, err = run([shell, "-c", script, SOURCE / "completions" / name] + typed.split(" "), HOME=self.tmp)
            got = sorted(word.split("\t")[0].rstrip("/") for word in out.splitlines() if word)
            self.assertEqual((offered, ""), (got, err), (shell, typed))


unittest.main()
