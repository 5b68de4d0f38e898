#!/usr/bin/env bash
# Installs, as root, the Debian packages that building Trovix and running
# every test needs on a fresh Debian 12 machine.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# Wine runs the 32-bit Windows build, and wine32 is an i386 package.
dpkg --add-architecture i386
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake libgtest-dev python3 \
  `# the pager's end-to-end tests drive the program in a tmux pane` \
  tmux \
  `# the manual page checks, and the Debian package's dependency scan` \
  groff-base mandoc man-db dpkg-dev \
  `# the sanitizer build and the fuzz targets` \
  clang libclang-rt-14-dev \
  `# the Windows build: cross compiler, GoogleTest's sources, Wine, zone data` \
  g++-mingw-w64-i686-posix googletest wine wine32 tzdata
