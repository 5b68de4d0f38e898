#!/usr/bin/env bash
# Trovix on a file system that answers every request after a delay, as a
# network share or a busy disk does: shared/tools/slowfs.c, a read-only
# FUSE view of a tree that caches nothing, so every run pays the same.
# Trovix with one thread and with its default threads, fd, find and rg, in
# one run: the median wall time of RUNS runs, its ratio to Trovix's default,
# and the peak resident memory of one run; then whether the default
# threads printed exactly what one thread printed.
#
#   bench/slow_fs.sh [trovix binary] [tree] [delay in microseconds]
#
# Defaults: build/trovix, /usr/include, 200 us, RUNS=3.  Needs FUSE (root or
# a /dev/fuse the user may open), hyperfine, fd-find and ripgrep:
#   apt-get install libfuse3-dev fuse3 pkg-config hyperfine fd-find ripgrep
# The view is unmounted however the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
trovix=$(realpath "${1:-build/trovix}")
tree=$(realpath "${2:-/usr/include}")
delay=${3:-200}
runs=${RUNS:-3}
slowfs_source=${SLOWFS:-../shared/tools/slowfs.c}
export TZ=UTC LC_ALL=C

fd=$(command -v fdfind || command -v fd || true)
for tool in hyperfine rg cc pkg-config fusermount3 python3 "$fd"; do
  command -v "$tool" >/dev/null ||
    { echo "bench: needs $tool (apt-get install libfuse3-dev fuse3 pkg-config hyperfine ripgrep fd-find)" >&2; exit 1; }
done
[ -x "$trovix" ] || { echo "bench: build trovix first ($trovix)" >&2; exit 1; }
[ -f "$slowfs_source" ] || { echo "bench: needs slowfs ($slowfs_source)" >&2; exit 1; }

work=$(mktemp -d)
mount=$work/mount
mkdir "$mount"
# The view goes first, whatever ends the script, and the folder after it.
cleanup() {
  fusermount3 -u "$mount" 2>/dev/null || fusermount3 -uz "$mount" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
cc -O2 -o "$work/slowfs" "$slowfs_source" $(pkg-config --cflags --libs fuse3)
"$work/slowfs" "$tree" "$mount" "$delay"
for ((i = 0; i < 50; i++)); do
  mountpoint -q "$mount" && break
  sleep 0.1
done
mountpoint -q "$mount" || { echo "bench: slowfs did not mount on $mount" >&2; exit 1; }

commands=()
add() { commands+=("$1" "$2" "$3"); }  # task, name, command line
add "\`'*.h'\`" "trovix" "$trovix $mount '*.h'"
add "\`'*.h'\`" "trovix, 1 thread" "env TROVIX_THREADS=1 $trovix $mount '*.h'"
add "\`'*.h'\`" "fd -u -g (names only)" "$fd -u -g '*.h' $mount"
add "\`'*.h'\`" "find -iname -printf" "find $mount -iname '*.h' -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n'"
add "\`'*.h' /C mutex\`" "trovix" "$trovix $mount '*.h' /C mutex"
add "\`'*.h' /C mutex\`" "trovix, 1 thread" "env TROVIX_THREADS=1 $trovix $mount '*.h' /C mutex"
add "\`'*.h' /C mutex\`" "rg -l -uuu -F -g" "rg -l -uuu -F -g '*.h' mutex $mount"

peak_kib() { eval "/usr/bin/time -f %M $1" 2>&1 >/dev/null | tail -1; }
for ((i = 0; i < ${#commands[@]}; i += 3)); do
  printf '%s\t%s\t%s\n' "$((i / 3))" "$(peak_kib "${commands[i + 2]}")" "${commands[i]}" >> "$work/rows"
  hyperfine -N -i --runs "$runs" --output=null --style none --export-json "$work/$((i / 3)).json" \
    -n "${commands[i + 1]}" "${commands[i + 2]}" >/dev/null 2>>"$work/warnings"
done

echo "slowfs over $tree, every request answered after $delay us; TZ=UTC, $runs runs each, $(nproc) cores; $(date -u +%Y-%m-%d)."
echo
python3 - "$work" <<'PY'
import json, statistics, sys
work = sys.argv[1]
print("| task | command | median | vs trovix | peak RSS |")
print("|---|---|---:|---:|---:|")
base = {}
for line in open(work + "/rows"):
    number, kib, task = line.rstrip("\n").split("\t")
    result = json.load(open("%s/%s.json" % (work, number)))["results"][0]
    median = statistics.median(result["times"])
    base.setdefault(task, median)
    print("| %s | %s | %.2f s | %.2f | %.1f MiB |" % (
        task, result["command"], median, median / base[task], int(kib) / 1024))
PY
echo
for text in "" "/C mutex"; do
  set -f
  "$trovix" "$mount" '*.h' $text > "$work/default"
  TROVIX_THREADS=1 "$trovix" "$mount" '*.h' $text > "$work/one"
  set +f
  if cmp -s "$work/default" "$work/one"; then result="the same bytes"; else result="DIFFERENT"; fi
  echo "'*.h'${text:+ $text}: default threads and one thread printed $result."
done
