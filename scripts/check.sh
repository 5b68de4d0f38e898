#!/usr/bin/env bash
# Builds Trovix and runs every test.  Each build has its own folder under
# build/, so a step can be repeated alone.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

# A step runs up to its first failing command.  Its failure is reported at
# once and again at the end, and the later steps still run, so that one run
# shows every fault and none is hidden behind an earlier one.
failed=()
step() {
  local title=$1 status
  shift
  printf '\n=== %s\n' "$title"
  set +e
  (set -e; "$@")
  status=$?
  set -e
  if [ "$status" != 0 ]; then
    printf '=== FAILED (status %d): %s\n' "$status" "$title"
    failed+=("$title")
  fi
}

linux() {
  # The quick start builds in build/ without the tests; here they are on.
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTROVIX_TESTS=ON
  cmake --build build -j"$jobs"
  ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"
}

# Any sanitizer report fails the test it happens in.
sanitized() {
  CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVIX_SANITIZE=ON
  cmake --build build-asan -j"$jobs"
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs"
}

# The content tests run on worker threads; any data race they have fails
# the case it shows in.
thread_sanitized() {
  CC=clang CXX=clang++ cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTROVIX_THREAD_SANITIZE=ON
  cmake --build build-tsan -j"$jobs" --target trovix
  # The workers never end: at each exit the sanitizer would wait a second for them.
  TROVIX_THREADS=4 TSAN_OPTIONS=halt_on_error=1:atexit_sleep_ms=0 \
    ctest --test-dir build-tsan --output-on-failure -j"$jobs" -R '^e2e_' -E pager
}

# The release is the i686 program, its zip made from the build.
windows_release() {
  cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
    -DCMAKE_BUILD_TYPE=Release -DTROVIX_TESTS="$1"
  cmake --build build-win32 -j"$jobs"
  (cd build-win32 && cpack -G ZIP)
}

# The Windows tests run under Wine on the release build itself where the
# kernel can start 32-bit programs; elsewhere on the same code built for
# x86-64, which Wine runs everywhere.
windows_release_and_tests() {
  windows_release ON
  ctest --test-dir build-win32 --output-on-failure --no-tests=error -j"$jobs"
}

windows64_tests() {
  cmake -S . -B build-win64-test -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake \
    -DCMAKE_BUILD_TYPE=Release
  cmake --build build-win64-test -j"$jobs"
  ctest --test-dir build-win64-test --output-on-failure --no-tests=error -j"$jobs"
}

step "Linux build and tests" linux
step "Sanitizer build (ASan, UBSan) and tests" sanitized
step "ThreadSanitizer build and the end-to-end cases on 4 threads" thread_sanitized
step "Fuzzing, ${FUZZ_SECONDS:-20} s per target" scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
if scripts/can-run-32-bit.sh; then
  step "Windows build (i686, mingw-w64), its zip, and its tests under Wine" windows_release_and_tests
else
  step "Windows build (i686, mingw-w64) and its zip" windows_release OFF
  echo "this kernel cannot run 32-bit programs: testing the x86-64 build of the same code"
  step "Windows tests under Wine (x86_64-w64-mingw32)" windows64_tests
fi

if [ ${#failed[@]} != 0 ]; then
  printf '\n=== %d step(s) failed:\n' ${#failed[@]}
  printf '    %s\n' "${failed[@]}"
  exit 1
fi
printf '\n=== every step passed\n'
