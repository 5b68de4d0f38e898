#!/usr/bin/env bash
# From a fresh Debian 12 machine to a first search: installs what building
# needs (build-essential cmake) if it is missing, builds Trovix without the
# tests in build/, and lists the stdio headers below /usr/include: a result
# that fits one screen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTROVIX_TESTS=OFF
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"
./build/trovix /usr/include 'stdio*.h'
