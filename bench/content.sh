#!/usr/bin/env bash
# Times the content filter against grep and ripgrep, single-threaded on a
# warm cache, and compares the files Trovix lists with grep's list.
#
#   bench/content.sh [trovix binary] [tree] [filespec glob]
#
# Needs hyperfine, ripgrep and python3 (Debian packages of those names).
# ROUNDS sets the rounds of three timed runs per command (default 10).
# Not run in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
trovix=$(realpath "${1:-build/trovix}")
tree=${2:-/usr/include}
glob=${3:-*.h}
rounds=${ROUNDS:-10}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# One search by each tool.  The machine may be shared, so the three take
# turns, a few runs at a time, and medians are taken over all the rounds.
bench_case() {
  local name=$1 switch=$2 flag=$3 text=$4 round
  for ((round = 0; round < rounds; ++round)); do
    hyperfine -N -i --style none -w 1 -r 3 --export-json "$out/$text${switch#/}.$round.json" \
      -n trovix "$trovix $tree $glob $switch $text" \
      -n rg "rg -j1 -l -uuu -F $flag -g $glob $text $tree" \
      -n grep "grep -rlF $flag --include=$glob $text $tree" >/dev/null 2>&1
  done
  python3 - "$name" "$out/$text${switch#/}".*.json <<'EOF'
import collections, json, statistics, sys
wall = collections.defaultdict(list)
cpu = collections.defaultdict(list)  # user + system, one mean per round
for path in sys.argv[2:]:
    for result in json.load(open(path))["results"]:
        wall[result["command"]] += result["times"]
        cpu[result["command"]].append(result["user"] + result["system"])
def median(table, tool):
    return statistics.median(table[tool]) * 1000
print("%-14s trovix %6.1f  rg %6.1f  grep %6.1f ms  trovix/rg %.2f   cpu ms: %.0f %.0f %.0f" % (
    sys.argv[1], median(wall, "trovix"), median(wall, "rg"), median(wall, "grep"),
    median(wall, "trovix") / median(wall, "rg"),
    median(cpu, "trovix"), median(cpu, "rg"), median(cpu, "grep")))
EOF
}

# Trovix prints each directory's path (cut after 75 characters) above its
# names (cut after 32); grep's paths are cut the same way to compare.
compare_lists() {
  local switch=$1 flag=$2 text=$3
  "$trovix" "$tree" "$glob" "$switch" "$text" >"$out/trovix.txt" || true
  grep -rlF $flag --include="$glob" "$text" "$tree" >"$out/grep.txt" || true
  python3 - "$out/trovix.txt" "$out/grep.txt" "$switch $text" <<'EOF'
import collections, os, sys
def cut(text, keep, limit):
    return text if len(text) <= limit else text[:keep] + b"..."
listed = collections.Counter()
directory = None
for line in open(sys.argv[1], "rb").read().split(b"\n"):
    if line.startswith(b"/"):
        directory = line
    elif line.startswith(b"   ") and directory is not None:
        listed[(directory, line[3:38].rstrip(b" "))] += 1
grepped = collections.Counter()
for path in open(sys.argv[2], "rb").read().split(b"\n"):
    if path:
        head, name = os.path.split(path)
        grepped[(cut(head, 75, 75), cut(name, 32, 35))] += 1
only_trovix = listed - grepped
only_grep = grepped - listed
print("%-14s trovix %d files, grep %d files, both %d" % (
    sys.argv[3], sum(listed.values()), sum(grepped.values()),
    sum((listed & grepped).values())))
for label, extra in (("only trovix", only_trovix), ("only grep", only_grep)):
    for (head, name), count in sorted(extra.items()):
        print("  %s: %s/%s%s" % (label, head.decode(errors="replace"),
                                name.decode(errors="replace"),
                                "" if count == 1 else " (x%d)" % count))
EOF
}

# Warm the cache once for all three tools.
"$trovix" "$tree" "$glob" /C zqxjvkwq >/dev/null || true
grep -rlF --include="$glob" zqxjvkwq "$tree" >/dev/null || true

echo "median wall time of $((rounds * 3)) runs each, $tree $glob; cpu: trovix rg grep"
bench_case "/C mutex" /C "" mutex
bench_case "/I mutex" /I -i mutex
bench_case "/C zqxjvkwq" /C "" zqxjvkwq
bench_case "/I zqxjvkwq" /I -i zqxjvkwq
echo
echo "files listed: Trovix against grep"
compare_lists /C "" mutex
compare_lists /I -i mutex
