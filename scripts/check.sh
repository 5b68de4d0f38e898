#!/usr/bin/env bash
# Builds Trovix and runs every test.  Each build has its own folder under
# build/, so a step can be repeated alone.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n=== %s\n' "$*"; }

step "Linux build and tests"
# The quick start builds in build/ without the tests; here they are on.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTROVIX_TESTS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"

# Any sanitizer report fails the test it happens in.
step "Sanitizer build (ASan, UBSan) and tests"
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVIX_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs"

# The content tests run on worker threads; any data race they have fails
# the case it shows in.
step "ThreadSanitizer build and the end-to-end cases on 4 threads"
CC=clang CXX=clang++ cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTROVIX_THREAD_SANITIZE=ON
cmake --build build-tsan -j"$jobs" --target trovix
TROVIX_THREADS=4 TSAN_OPTIONS=halt_on_error=1 \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" -R '^e2e_' -E pager

step "Fuzzing, ${FUZZ_SECONDS:-20} s per target"
scripts/fuzz.sh "${FUZZ_SECONDS:-20}"

# The release is the i686 program.  Its tests run under Wine where the kernel
# can start 32-bit programs; elsewhere they run on the same code built for
# x86-64, which Wine runs everywhere.
step "Windows build (i686, mingw-w64) and its zip"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTROVIX_TESTS=OFF
cmake --build build-win32 -j"$jobs"
(cd build-win32 && cpack -G ZIP)
windows=win32
toolchain=i686-w64-mingw32
if ! scripts/can-run-32-bit.sh; then
  echo "this kernel cannot run 32-bit programs: testing the x86-64 build of the same code"
  windows=win64
  toolchain=x86_64-w64-mingw32
fi
step "Windows tests under Wine ($toolchain)"
cmake -S . -B build-$windows-test -DCMAKE_TOOLCHAIN_FILE=cmake/$toolchain.cmake \
  -DCMAKE_BUILD_TYPE=Release
cmake --build build-$windows-test -j"$jobs"
ctest --test-dir build-$windows-test --output-on-failure --no-tests=error -j"$jobs"
