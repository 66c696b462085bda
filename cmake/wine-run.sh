#!/bin/sh
# Runs a Windows program of the cross build under wine:
#
#   wine-run.sh [--prefix DIR] PROGRAM.exe [ARGUMENT...]
#
# The wine prefix is $WINEPREFIX, else DIR: the cross build passes its own
# build-windows/wine, so that what the build runs and what the tests run
# share one prefix inside the build tree. With neither, a folder of its own
# under /tmp. It is made on first use (about 20 seconds).
#
# One wineserver is kept for a minute after the last program ends, so that
# a test run does not start wine afresh for every test. It and wine's own
# background processes are started here with their output going nowhere:
# started by a test, they would hold the test's output pipe open, and the
# test driver would wait for them to end. The lock on the prefix makes tests
# that start side by side do this once; it is not handed down (-o) to the
# processes that stay.
set -eu
if [ "${1:-}" = --prefix ] && [ $# -ge 2 ]; then
    : "${WINEPREFIX:=$2}"
    shift 2
fi
: "${WINEPREFIX:=${TMPDIR:-/tmp}/d88cut-wine-$(id -u)}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
mkdir -p "$WINEPREFIX"
flock -o "$WINEPREFIX" sh -c '
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine wineboot --init
        wineserver -w
    fi
    if wineserver -p60; then
        wine cmd /c exit
    fi' </dev/null >/dev/null 2>&1
exec wine "$@"
