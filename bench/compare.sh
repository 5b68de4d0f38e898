#!/usr/bin/env bash
# Trovix next to a floor walker, find, fd and rg, in one run on this
# machine: the median wall time of warm runs (hyperfine), its ratio to
# Trovix's, the median CPU time (user and system, of each round's mean),
# and the peak resident memory of one run, as a markdown table.
#
#   bench/compare.sh [trovix binary]        RUNS=20 runs of each command
#
# The runs go in rounds, two of each command per round, so that a load that
# comes and goes on a shared machine falls on every command alike.
#
# The walk lists the C headers below /usr with size and time of each; the
# content search lists the headers below /usr/include that hold "mutex".
# The floor is shared/tools/walkfloor.c beside the repository (WALKFLOOR=
# names another copy): one sorted, stat-the-matches pass per directory, the
# least such a listing costs.  Needs hyperfine, fd-find and ripgrep:
#   apt-get install hyperfine ripgrep fd-find
set -euo pipefail
cd "$(dirname "$0")/.."
trovix=$(realpath "${1:-build/trovix}")
floor_source=${WALKFLOOR:-../shared/tools/walkfloor.c}
runs=${RUNS:-20}
rounds=$(((runs + 1) / 2))
export TZ=UTC LC_ALL=C

fd=$(command -v fdfind || command -v fd || true)
for tool in hyperfine rg cc python3 "$fd"; do
  command -v "$tool" >/dev/null || { echo "bench: needs $tool (apt-get install hyperfine ripgrep fd-find)" >&2; exit 1; }
done
[ -x "$trovix" ] || { echo "bench: build trovix first ($trovix)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
commands=()
add() { commands+=("$1" "$2" "$3"); }  # task, name, command line (split as a shell would)
add walk "trovix" "$trovix /usr '*.h'"
add walk "trovix, 1 thread" "env TROVIX_THREADS=1 $trovix /usr '*.h'"
if [ -f "$floor_source" ]; then
  cc -O2 -o "$work/walkfloor" "$floor_source"
  add walk "walkfloor (floor)" "$work/walkfloor /usr '*.h'"
fi
add walk "find -iname -printf" "find /usr -iname '*.h' -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n'"
add walk "fd -l -u -g" "$fd -l -u -g '*.h' /usr"
add content "trovix /C" "$trovix /usr/include '*.h' /C mutex"
add content "trovix /C, 1 thread" "env TROVIX_THREADS=1 $trovix /usr/include '*.h' /C mutex"
add content "rg -l -uuu -F -g" "rg -l -uuu -F -g '*.h' mutex /usr/include"

# Peak resident memory of one run, in KiB.
peak_kib() {
  if [ -x /usr/bin/time ]; then
    eval "/usr/bin/time -f %M $1" 2>&1 >/dev/null | tail -1
  else
    python3 -c 'import resource, shlex, subprocess, sys
subprocess.run(shlex.split(sys.argv[1]), stdout=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$1"
  fi
}

# Warm the cache once for all: every directory and every header's bytes.
du -s /usr >/dev/null 2>&1 || true
find /usr/include -name '*.h' -type f -exec cat {} + >/dev/null 2>&1 || true
for ((i = 0; i < ${#commands[@]}; i += 3)); do
  printf '%s\t%s\t%s\n' "${commands[i]}" "$((i / 3))" "$(peak_kib "${commands[i + 2]}")" >> "$work/rows"
done
for ((round = 0; round < rounds; round++)); do
  for ((i = 0; i < ${#commands[@]}; i += 3)); do
    hyperfine -N --warmup 1 --runs 2 --output=null --style none \
      --export-json "$work/$((i / 3)).$round.json" -n "${commands[i + 1]}" "${commands[i + 2]}" >/dev/null
  done
done

echo "Warm cache, TZ=UTC, $((rounds * 2)) runs each, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(date -u +%Y-%m-%d)."
echo
python3 - "$work" <<'PY'
import glob, json, statistics, sys
work = sys.argv[1]
print("| task | command | median | vs trovix | CPU | peak RSS |")
print("|---|---|---:|---:|---:|---:|")
base = {}  # the first row of each task: Trovix as it runs by default
for line in open(work + "/rows"):
    task, number, kib = line.split()
    results = [json.load(open(name))["results"][0] for name in glob.glob("%s/%s.*.json" % (work, number))]
    median = statistics.median(t for r in results for t in r["times"])
    cpu = statistics.median(r["user"] + r["system"] for r in results)  # each round's mean
    base.setdefault(task, median)
    label = {"walk": "`/usr '*.h'`", "content": "`/usr/include '*.h'` holding `mutex`"}[task]
    print("| %s | %s | %.0f ms | %.2f | %.0f ms | %.1f MiB |" % (
        label, results[0]["command"], median * 1000, median / base[task], cpu * 1000, int(kib) / 1024))
PY
