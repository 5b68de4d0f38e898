#!/bin/sh
# Makes ("up") or removes ("down") the Wine prefix $WINEPREFIX that the
# tests of the Windows build run in, with the Wine loader $WINE.
#
# Up leaves a wineserver and Wine's own services running with their output
# sent nowhere: a program started under Wine would otherwise start them,
# they would hold its output pipe open, and every test run would wait for
# them to time out.  They stop by themselves two minutes after the last
# program, or at once with "down".  Mono and Gecko stay out of the prefix
# (WINEDLLOVERRIDES): a console program needs neither.
set -eu
wine=${WINE:-wine}
server=$(dirname "$(readlink -f "$(command -v "$wine")")")/wineserver
[ -x "$server" ] || server=wineserver
quietly() { "$@" </dev/null >/dev/null 2>&1; }
case "$1" in
  up)
    rm -rf "$WINEPREFIX"
    quietly "$wine" wineboot --init
    quietly "$server" --wait
    quietly "$server" --persistent=120
    quietly "$wine" wineboot
    test -f "$WINEPREFIX/system.reg"
    ;;
  down)
    "$server" --kill || true
    rm -rf "$WINEPREFIX"
    ;;
esac
