#!/usr/bin/env bash
# Peak resident memory and time of content searches that read every file of
# ever larger trees for a text that occurs nowhere, next to the walk alone
# (Trovix without a text, and find).  The memory column should stay flat
# however much is read.
#
#   bench/content_memory.sh [trovix binary] [trees...]
set -euo pipefail
trovix=$(realpath "${1:-$(dirname "$0")/../build/trovix}")
shift || true
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(/usr/include /usr/share /usr)
[ -x "$trovix" ] || { echo "bench: build trovix first ($trovix)" >&2; exit 1; }
text=zq-no-file-holds-this-text-zq

# One run: "<seconds> <peak KiB>".  Whether the files' contents are cached
# changes the time, not the memory.
measure() {
  /usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1
}

printf '%-14s %12s %9s  %-40s\n' tree read-MiB seconds "peak KiB: /I text | no text | find"
for tree in "${trees[@]}"; do
  # Reading the sizes also warms the cache of names and metadata.
  mib=$(du -sm --apparent-size "$tree" 2>/dev/null | cut -f1)
  read -r s1 m1 < <(measure "$trovix" "$tree" '*' /I "$text")
  read -r _ m2 < <(measure "$trovix" "$tree" '*')
  read -r _ m3 < <(measure find "$tree" -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n')
  printf '%-14s %12s %9s  %8s | %7s | %7s\n' "$tree" "$mib" "$s1" "$m1" "$m2" "$m3"
done
