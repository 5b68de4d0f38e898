#!/usr/bin/env bash
# Trovix next to a floor walker, find, fd and rg, in one run on this
# machine: the median wall time of warm runs (hyperfine), its ratio to
# Trovix's, the median CPU time (user and system, of each round's mean),
# and the peak resident memory of one run, as a markdown table.
#
#   bench/compare.sh [trovix binary]        RUNS=20 runs of each command
#   COLD=1 bench/compare.sh                 the page cache dropped before
#                                           each run (root only), RUNS=6
#
# Under the table: whether Trovix on its default threads printed exactly
# what it prints on one, for each task.
#
# The runs go in rounds, two of each command per round, so that a load that
# comes and goes on a shared machine falls on every command alike.
#
# The walks list the C headers below /usr, and every entry below it, with
# size and time of each; the content searches list the headers below
# /usr/include that hold "mutex", in either case, or a text none holds;
# WHOLE=1 adds a search of every file below /usr for such a text.
# The floor is shared/tools/walkfloor.c beside the repository (WALKFLOOR=
# names another copy): one sorted, stat-the-matches pass per directory, the
# least such a listing costs.  Needs hyperfine, fd-find and ripgrep:
#   apt-get install hyperfine ripgrep fd-find
set -euo pipefail
cd "$(dirname "$0")/.."
trovix=$(realpath "${1:-build/trovix}")
floor_source=${WALKFLOOR:-../shared/tools/walkfloor.c}
cold=${COLD:-0}
runs=${RUNS:-$([ "$cold" = 1 ] && echo 6 || echo 20)}
rounds=$(((runs + 1) / 2))
export TZ=UTC LC_ALL=C

fd=$(command -v fdfind || command -v fd || true)
for tool in hyperfine rg cc python3 "$fd"; do
  command -v "$tool" >/dev/null || { echo "bench: needs $tool (apt-get install hyperfine ripgrep fd-find)" >&2; exit 1; }
done
[ -x "$trovix" ] || { echo "bench: build trovix first ($trovix)" >&2; exit 1; }
prepare=()
if [ "$cold" = 1 ]; then
  if ! [ -w /proc/sys/vm/drop_caches ]; then
    echo "bench: COLD=1 drops the page cache before each run, which needs root; skipped."
    exit 0
  fi
  prepare=(--prepare "sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches'")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
commands=()
add() { commands+=("$1" "$2" "$3"); }  # task, name, command line (split as a shell would)
floor=""
if [ -f "$floor_source" ]; then
  cc -O2 -o "$work/walkfloor" "$floor_source"
  floor=$work/walkfloor
fi
add "\`/usr '*.h'\`" "trovix" "$trovix /usr '*.h'"
add "\`/usr '*.h'\`" "trovix, 1 thread" "env TROVIX_THREADS=1 $trovix /usr '*.h'"
[ -z "$floor" ] || add "\`/usr '*.h'\`" "walkfloor (floor)" "$floor /usr '*.h'"
add "\`/usr '*.h'\`" "find -iname -printf" "find /usr -iname '*.h' -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n'"
add "\`/usr '*.h'\`" "fd -l -u -g" "$fd -l -u -g '*.h' /usr"
# Every entry listed, so every entry is stat-ed.
add "\`/usr '*.*'\`" "trovix" "$trovix /usr '*.*'"
add "\`/usr '*.*'\`" "trovix, 1 thread" "env TROVIX_THREADS=1 $trovix /usr '*.*'"
[ -z "$floor" ] || add "\`/usr '*.*'\`" "walkfloor (floor)" "$floor /usr '*'"
add "\`/usr '*.*'\`" "find -printf" "find /usr -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n'"
# The headers that hold a text, with the case as typed, ignored, and a text
# that no header holds, which reads every header to its end.
for text in "/C mutex" "/I mutex" "/C zqxjvkwq"; do
  task="\`/usr/include '*.h' $text\`"
  word=${text#/? } case=""
  [ "${text%% *}" = /I ] && case=" -i"
  add "$task" "trovix" "$trovix /usr/include '*.h' $text"
  add "$task" "trovix, 1 thread" "env TROVIX_THREADS=1 $trovix /usr/include '*.h' $text"
  add "$task" "rg -l -uuu -F$case -g" "rg -l -uuu -F$case -g '*.h' $word /usr/include"
  add "$task" "rg --sort path" "rg -l -uuu -F$case --sort path -g '*.h' $word /usr/include"
done
# Every byte below /usr, some 11 GB here: only with WHOLE=1.
if [ "${WHOLE:-0}" = 1 ]; then
  add "\`/usr '*' /I zqxjvkwq\`" "trovix" "$trovix /usr '*' /I zqxjvkwq"
  add "\`/usr '*' /I zqxjvkwq\`" "rg -l -a -uuu -F -i" "rg -l -a -uuu -F -i zqxjvkwq /usr"
fi

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
if [ "$cold" != 1 ]; then
  du -s /usr >/dev/null 2>&1 || true
  find /usr/include -name '*.h' -type f -exec cat {} + >/dev/null 2>&1 || true
fi
for ((i = 0; i < ${#commands[@]}; i += 3)); do
  printf '%s\t%s\t%s\n' "$((i / 3))" "$(peak_kib "${commands[i + 2]}")" "${commands[i]}" >> "$work/rows"
done
for ((round = 0; round < rounds; round++)); do
  for ((i = 0; i < ${#commands[@]}; i += 3)); do
    hyperfine -N -i --warmup "$((1 - cold))" "${prepare[@]}" --runs 2 --output=null --style none \
      --export-json "$work/$((i / 3)).$round.json" -n "${commands[i + 1]}" "${commands[i + 2]}" \
      >/dev/null 2>>"$work/warnings"  # a search that finds nothing exits 1
  done
done

cache=$([ "$cold" = 1 ] && echo "Cold cache (dropped before each run)" || echo "Warm cache")
echo "$cache, TZ=UTC, $((rounds * 2)) runs each, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(date -u +%Y-%m-%d)."
echo
python3 - "$work" <<'PY'
import glob, json, statistics, sys
work = sys.argv[1]
print("| task | command | median | vs trovix | CPU | peak RSS |")
print("|---|---|---:|---:|---:|---:|")
base = {}  # the first row of each task: Trovix as it runs by default
for line in open(work + "/rows"):
    number, kib, task = line.rstrip("\n").split("\t")
    results = [json.load(open(name))["results"][0] for name in glob.glob("%s/%s.*.json" % (work, number))]
    median = statistics.median(t for r in results for t in r["times"])
    cpu = statistics.median(r["user"] + r["system"] for r in results)  # each round's mean
    base.setdefault(task, median)
    print("| %s | %s | %.0f ms | %.2f | %.0f ms | %.1f MiB |" % (
        task, results[0]["command"], median * 1000, median / base[task], cpu * 1000, int(kib) / 1024))
PY
echo
for ((i = 0; i < ${#commands[@]}; i += 3)); do
  [ "${commands[i + 1]}" = trovix ] || continue
  eval "${commands[i + 2]}" > "$work/default" || true
  eval "env TROVIX_THREADS=1 ${commands[i + 2]}" > "$work/one" || true
  if cmp -s "$work/default" "$work/one"; then result="the same bytes"; else result="DIFFERENT"; fi
  echo "${commands[i]}: default threads and one thread printed $result."
done
