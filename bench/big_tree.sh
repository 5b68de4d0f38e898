#!/usr/bin/env bash
# A tree of 1,000,000 empty files in 10,000 directories, 100 in each, listed
# whole by Trovix and by the floor walker: the time and peak resident memory
# of the median of RUNS runs, and their ratios to the floor.  Memory should
# not grow with the tree: a listing holds one directory's names at a time.
#
#   bench/big_tree.sh [trovix binary] [directories] [files each]
#
# The tree is made under $BENCH_DIR (default $TMPDIR or /tmp) and removed
# afterwards; making it takes longer than listing it.
set -euo pipefail
cd "$(dirname "$0")/.."
trovix=$(realpath "${1:-build/trovix}")
directories=${2:-10000}
files=${3:-100}
runs=${RUNS:-5}
floor_source=${WALKFLOOR:-../shared/tools/walkfloor.c}
export TZ=UTC LC_ALL=C
[ -x "$trovix" ] || { echo "bench: build trovix first ($trovix)" >&2; exit 1; }
[ -f "$floor_source" ] || { echo "bench: needs the floor walker ($floor_source)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/trovix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cc -O2 -o "$work/walkfloor" "$floor_source"
python3 - "$work/tree" "$directories" "$files" <<'PY'
import os, sys
root, directories, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for d in range(directories):
    folder = os.path.join(root, "d%03d" % (d // 100), "d%05d" % d)
    os.makedirs(folder)
    for f in range(files):
        open(os.path.join(folder, "f%03d.dat" % f), "w").close()
PY

# Prints "<seconds> <peak KiB>" of the command's median run.
measure() {
  local i
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1
  done | sort -n | sed -n "$(((runs + 1) / 2))p"
}

# What was just made is written out first, so no run pays for it.
sync
listed=$("$trovix" "$work/tree" '*.dat' | tail -1)
[ "$listed" = "$((directories * files)) file(s) found" ] || { echo "bench: listed '$listed'" >&2; exit 1; }
read -r floor_s floor_kib < <(measure "$work/walkfloor" "$work/tree" '*')
echo "$((directories * files)) files in $directories directories, $runs runs each, $(nproc) cores; $(date -u +%Y-%m-%d)."
printf '%-34s %9s %9s %9s %9s\n' command seconds "vs floor" "peak KiB" "vs floor"
row() {
  local name=$1 s kib
  shift
  read -r s kib < <(measure "$@")
  awk -v name="$name" -v s="$s" -v kib="$kib" -v fs="$floor_s" -v fk="$floor_kib" \
    'BEGIN { printf "%-34s %9s %9.2f %9s %9.2f\n", name, s, s / fs, kib, kib / fk }'
}
printf '%-34s %9s %9.2f %9s %9.2f\n' "walkfloor (floor) '*'" "$floor_s" 1 "$floor_kib" 1
row "trovix '*'" "$trovix" "$work/tree" '*'
row "trovix '*', 1 thread" env TROVIX_THREADS=1 "$trovix" "$work/tree" '*'
row "trovix '*' /C text" "$trovix" "$work/tree" '*' /C text
