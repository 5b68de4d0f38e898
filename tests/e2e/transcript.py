r"""Runs transcript cases against the built program ($TROVIX).

A case file holds cases; each begins with "### title", optionally tagged
[linux] or [win32] when it holds for one build only.  The lines up to the
first command are a bash script that makes the case's tree in $ROOT (the
current directory); every entry it leaves newer than the run's start is then
stamped 2002-09-28 20:31:18 UTC; a script that exits with 77 skips the
case (a file system that cannot hold what it needs).  A command is a line "$ command", or
"linux$ ..." / "win32$ ..." for one build; it runs in bash in $ROOT with
TZ=UTC, with "trovix" on the PATH, and stderr joined to stdout.  The lines
after it, up to the next command or case, are its exact output, trailing
blank lines aside; the output is read as UTF-8, with each byte that is not
part of a UTF-8 character written \xNN.  "# N" ending the command line is
its expected status (else 0).  In the output, $ROOT stands for the tree's
path as the program shows it; $ROOT is always 40 characters long, so cut
paths are literal.
"""

import difflib, os, re, shutil, subprocess, sys, tempfile, time

TROVIX = os.path.abspath(os.environ["TROVIX"])
BUILD = "win32" if TROVIX.lower().endswith(".exe") else "linux"
STAMP = "@1033245078"
ROOT_LENGTH = 40

PRELUDE = r"""set -o pipefail
as_user() { if [ "$(id -u)" = 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; else "$@"; fi; }
peak_kib() { python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"; }
"""

# Under Wine the program takes and shows Windows paths (Z:\tmp\... for
# /tmp/...) and ends its lines with CRLF.
WINE_WRAPPER = r"""#!/bin/bash
args=()
for a; do [[ $a == "$ROOT"* ]] && a="Z:${a//\//\\}"; args+=("$a"); done
exec "${WINE:-wine}" "$TROVIX" "${args[@]}"
"""


def native(path):
    return "Z:" + path.replace("/", "\\") if BUILD == "win32" else path


def parse(text):
    """Gives (title, tags, setup, [(build, command, status, output)])."""
    cases = []
    for block in re.split(r"^### ", text, flags=re.M)[1:]:
        # A command may go on over lines ending in "\\"; an output line may end in one.
        block = re.sub(r"(?m)^(?:linux|win32)?\$ (?:.*\\\n)+.*",
                       lambda m: m[0].replace("\\\n", ""), block)
        lines = block.split("\n")
        title, tags = re.match(r"(.*?)\s*((?:\[\w+\]\s*)*)$", lines[0]).groups()
        setup, runs = [], []
        for line in lines[1:]:
            command = re.match(r"(linux|win32)?\$ (.*?)(?:\s+# (\d+))?$", line)
            if command:
                runs.append((command[1], command[2], int(command[3] or 0), []))
            elif runs:
                runs[-1][3].append(line)
            else:
                setup.append(line)
        cases.append((title, tags, "\n".join(setup), runs))
    return cases


def expected_text(lines, root):
    while lines and not lines[-1].strip():
        lines = lines[:-1]
    # A header line is a path as a whole, blanks and all; elsewhere a path ends at a blank.
    return "".join((native(root + line[5:]) if line.startswith("$ROOT") else
                    re.sub(r"\$ROOT\S*", lambda m: native(root + m[0][5:]), line)) + "\n"
                   for line in lines)


def bash(script, root, env, timeout=300):
    done = subprocess.run(["bash", "-c", PRELUDE + script], cwd=root, env=env,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=timeout)
    return done.returncode, done.stdout.replace(b"\r\n", b"\n").decode("utf-8", "backslashreplace")


def make_root(base):
    """A folder whose path, as the program shows it, is ROOT_LENGTH long."""
    root = os.path.join(base, "r" * (ROOT_LENGTH - len(native(base)) - 1))
    if len(native(root)) != ROOT_LENGTH:
        sys.exit("the temporary folder %s is too long for the cases" % base)
    os.mkdir(root)
    return root


def run_case(setup, runs, base, env):
    root = make_root(base)
    env = dict(env, ROOT=root)
    started = time.time() - 2
    status, out = bash(setup, root, env)
    if status:
        return None if status == 77 else ["the tree could not be made (%d):\n%s" % (status, out)]
    # Deep enough for every case that shows times; deeper trees filter them out.
    bash("find . -maxdepth 12 -newermt @%d -exec touch -h -d %s {} + 2>/dev/null; "
         "touch -d %s ." % (started, STAMP, STAMP), root, env)
    failures = []
    for build, command, status, lines in runs:
        if build and build != BUILD:
            continue
        want = expected_text(lines, root)
        got_status, got = bash(command, root, env)
        if (got_status, got) != (status, want):
            diff = difflib.unified_diff(want.splitlines(True), got.splitlines(True),
                                        "expected", "actual")
            failures.append("$ %s\nstatus %d, expected %d\n%s" %
                            (command, got_status, status, "".join(diff)))
    return failures


def main(paths):
    os.umask(0o022)  # the trees must be readable by the other user, whatever the caller's umask
    base = tempfile.mkdtemp(prefix="trovix-")
    os.chmod(base, 0o755)
    bin_dir = os.path.join(base, "bin")
    os.mkdir(bin_dir)
    program = os.path.join(bin_dir, "trovix")
    if BUILD == "win32":
        with open(os.open(program, os.O_WRONLY | os.O_CREAT, 0o755), "w") as out:
            out.write(WINE_WRAPPER)
    else:
        # A copy, not a link: the cases that run it as another user must reach
        # it even when the build lies in a folder only its owner can enter.
        shutil.copyfile(TROVIX, program)
        os.chmod(program, 0o755)
    env = dict(os.environ, TZ="UTC", TROVIX=TROVIX, PATH=bin_dir + ":" + os.environ["PATH"])
    passed = failed = skipped = 0
    try:
        for path in paths:
            with open(path, encoding="utf-8") as source:
                cases = parse(source.read())
            for number, (title, tags, setup, runs) in enumerate(cases):
                if re.search(r"\[(linux|win32)\]", tags) and "[%s]" % BUILD not in tags:
                    skipped += 1
                    continue
                case_base = os.path.join(base, str(number))
                os.mkdir(case_base)
                try:
                    failures = run_case(setup, runs, case_base, env)
                finally:
                    subprocess.run(["chmod", "-R", "u+rwx", case_base], stderr=subprocess.DEVNULL)
                    subprocess.run(["rm", "-rf", case_base])
                if failures is None:
                    skipped += 1
                    continue
                for failure in failures:
                    print("FAIL %s: %s\n%s" % (os.path.basename(path), title, failure))
                failed += bool(failures)
                passed += not failures
    finally:
        subprocess.run(["rm", "-rf", base])
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 1 if failed or not (passed or skipped) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
