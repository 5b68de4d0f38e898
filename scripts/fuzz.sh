#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) and runs each for a
# while, starting from its committed seeds in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [seconds per target] [target...]
#
# New inputs the fuzzer finds go to build-fuzz/corpus/<target>/ and are kept
# between runs; an input that breaks a target is written to
# build-fuzz/findings/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTROVIX_FUZZ=ON -DTROVIX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    targets+=("$name")
  done
fi

mkdir -p build-fuzz/findings build-fuzz/logs
# The targets run side by side, so the run takes the seconds of one target
# on a machine with a processor for each; their reports follow in order.
pids=()
for name in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build-fuzz/findings/"$name"-)
  [ -f fuzz/"$name".dict ] && options+=(-dict=fuzz/"$name".dict)
  # The first folder takes what the run finds; the seeds stay as committed.
  build-fuzz/fuzz/fuzz_"$name" "${options[@]}" "$corpus" fuzz/corpus/"$name" \
    > build-fuzz/logs/"$name".log 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  name=${targets[i]}
  status=0
  wait "${pids[i]}" || status=$?
  printf '\n--- fuzz_%s for %s s\n' "$name" "$seconds"
  grep -v -E '^#[0-9]+\s+(NEW|REDUCE|pulse)| # Uses: ' build-fuzz/logs/"$name".log || true
  if [ "$status" != 0 ]; then
    echo "fuzz_$name failed (status $status)" >&2
    failed=1
  fi
done
exit "$failed"
