#!/usr/bin/env bash
# Installs, as root, the Debian packages that building Trovix and running
# every test needs on a fresh Debian 12 machine.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
cd "$(dirname "$0")/.."

apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake libgtest-dev python3 \
  `# the pager's end-to-end tests drive the program in a tmux pane` \
  tmux \
  `# the manual page checks, and the Debian package's dependency scan` \
  groff-base mandoc man-db dpkg-dev \
  `# the sanitizer build and the fuzz targets` \
  clang libclang-rt-14-dev \
  `# the Windows builds: cross compilers, GoogleTest's sources, Wine, zone data` \
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 tzdata

# Wine runs the i686 build only with wine32, an i386 package, and only on a
# kernel that runs 32-bit programs; elsewhere the tests use the x86-64 build.
if scripts/can-run-32-bit.sh; then
  dpkg --add-architecture i386
  apt-get update
  apt-get install -y --no-install-recommends wine32
fi
