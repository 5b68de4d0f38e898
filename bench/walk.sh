#!/usr/bin/env bash
# Compares the walk with find on the same work: names, sizes and times of
# the matching entries under a tree, written to /dev/null, warm cache,
# single-threaded.  Needs hyperfine (Debian package hyperfine).
#
#   bench/walk.sh [tree] [trovix binary]
set -euo pipefail
tree=${1:-/usr}
trovix=${2:-$(dirname "$0")/../build/trovix}
runs=${RUNS:-10}

command -v hyperfine >/dev/null || { echo "bench: needs hyperfine (apt-get install hyperfine)" >&2; exit 1; }
[ -x "$trovix" ] || { echo "bench: build trovix first ($trovix)" >&2; exit 1; }

printf '%s\n' "$trovix $tree: $("$trovix" "$tree" '*.*' | tail -1 | tr -d '\n')"

json=$(mktemp)
trap 'rm -f "$json"' EXIT
medians() {
  python3 -c 'import json,sys
for r in json.load(open(sys.argv[1]))["results"]:
    print("  median %8.1f ms  %s" % (r["median"] * 1000, r["command"]))' "$json"
}

hyperfine --warmup 2 --runs "$runs" -N --export-json "$json" --style basic \
  -n "trovix '*.h'" "$trovix $tree *.h" \
  -n "find -iname '*.h'" "find $tree -iname *.h -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n'" \
  --output=null
medians

hyperfine --warmup 2 --runs "$runs" -N --export-json "$json" --style basic \
  -n "trovix '*.*'" "$trovix $tree *.*" \
  -n "find (all)" "find $tree -printf '%s %TY-%Tm-%Td %TH:%TM:%TS %p\n'" \
  --output=null
medians

# Peak resident memory of one run of each.
for spec in '*.h' '*.*'; do
  /usr/bin/time -f "trovix $spec: %M KiB peak, %e s" "$trovix" "$tree" "$spec" >/dev/null
done
