#!/usr/bin/env bash
# Installs the Debian packages that Trovix needs on Debian 12, as root, and
# only those that are missing:
#
#   scripts/install-deps.sh build   building the program: build-essential cmake
#   scripts/install-deps.sh test    that, and everything the tests need
#
# As another user it installs nothing: it names the missing packages and
# fails before anything has been built.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
cd "$(dirname "$0")/.."

packages=(build-essential cmake)
if [ "${1:-}" = test ]; then
  packages+=(
    libgtest-dev python3 tzdata
    tmux                             # the pager's tests drive it in a tmux pane
    strace                           # a test sees which files are opened
    groff-base mandoc man-db         # the manual page checks
    dpkg-dev lintian                 # the Debian package and its check
    zsh fish                         # the completion checks (bash is there)
    clang libclang-rt-14-dev         # the sanitizer build and the fuzz targets
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest  # Windows builds
    wine wine64                      # their tests
  )
elif [ "${1:-}" != build ]; then
  echo "usage: scripts/install-deps.sh build|test" >&2
  exit 2
fi

missing() {
  for package; do
    dpkg-query -W -f '${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^ii' ||
      printf '%s\n' "$package"
  done
}

install() {
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" != 0 ]; then
    echo "Trovix needs these Debian packages, which are not installed: $*" >&2
    echo "Install them as root, then run this again:" >&2
    [ "${add_i386:-}" ] && echo "  dpkg --add-architecture i386" >&2
    echo "  apt-get update && apt-get install --no-install-recommends $*" >&2
    exit 1
  fi
  [ "${add_i386:-}" ] && dpkg --add-architecture i386
  apt-get update
  apt-get install -y --no-install-recommends "$@"
}

mapfile -t needed < <(missing "${packages[@]}")
install "${needed[@]}"

# Wine runs the i686 build only with wine32, an i386 package, and only on a
# kernel that runs 32-bit programs; elsewhere the tests use the x86-64 build.
if [ "${1:-}" = test ] && scripts/can-run-32-bit.sh && [ "$(missing wine32:i386)" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
  install wine32:i386
fi
