#!/usr/bin/env bash
# One directory of many entries, listed by Trovix and by find printing the
# same information: time and peak resident memory at each size, so that
# growth shows as it is (it should be linear in both).  Warm cache, the
# median of RUNS runs.
#
#   bench/big_directory.sh [trovix binary] [sizes...]
#
# The directories are made under $BENCH_DIR (default $TMPDIR or /tmp) and
# removed afterwards; on a slow journaled disk making them takes longer than
# listing them.
set -euo pipefail
trovix=$(realpath "${1:-$(dirname "$0")/../build/trovix}")
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(50000 100000 200000 400000)
runs=${RUNS:-5}
[ -x "$trovix" ] || { echo "bench: build trovix first ($trovix)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/trovix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Prints "<seconds> <peak KiB>" of the command's median run by time.
measure() {
  local i
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1
  done | sort -n | sed -n "$(((runs + 1) / 2))p"
}

printf '%9s  %10s %10s %9s  %10s %10s %9s\n' entries trovix-s trovix-KiB "us/entry" \
  find-s find-KiB "us/entry"
made=0
for size in "${sizes[@]}"; do
  # Grows one directory from the previous size, so each size costs only
  # its new entries.
  (cd "$work" && seq -f 'entry-%07g.dat' "$((made + 1))" "$size" | xargs touch)
  made=$size
  listed=$("$trovix" "$work" '*' | tail -1)
  [ "$listed" = "$size file(s) found" ] || { echo "bench: listed '$listed' of $size" >&2; exit 1; }
  read -r ts tm < <(measure "$trovix" "$work" '*')
  read -r fs fm < <(measure find "$work" -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n')
  awk -v n="$size" -v ts="$ts" -v tm="$tm" -v fs="$fs" -v fm="$fm" \
    'BEGIN { printf "%9d  %10s %10s %9.2f  %10s %10s %9.2f\n", n, ts, tm, ts * 1e6 / n, fs, fm, fs * 1e6 / n }'
done
