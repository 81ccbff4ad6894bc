#!/usr/bin/env bash
# Starts or stops the Wine server that the Windows tests share.
#   wine-fixture.sh start  creates the prefix when missing and starts a persistent server
#   wine-fixture.sh stop   stops the server and waits until it is gone
# The prefix is $WINEPREFIX, else $ZENDRA_WINEPREFIX, else ~/.zendra-wine (as in cmake/wine-run.sh).
# Every Wine process here gets /dev/null as its standard streams: a server that inherited
# CTest's output pipe would keep CTest waiting for ever.
set -u
: "${WINEPREFIX:=${ZENDRA_WINEPREFIX:-$HOME/.zendra-wine}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
SERVER=/usr/lib/wine/wineserver64

start() {
    mkdir -p "$WINEPREFIX" || exit 1
    # A server left over from an earlier run (possibly with other settings) goes first.
    "$SERVER" -k </dev/null >/dev/null 2>&1
    "$SERVER" -w </dev/null >/dev/null 2>&1
    "$SERVER" -p </dev/null >/dev/null 2>&1 &
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating Wine prefix $WINEPREFIX"
        "$WINE" wineboot --init </dev/null >/dev/null 2>&1
    fi
    # A trivial program proves that the prefix and the server work.
    if ! "$WINE" cmd /c exit 0 </dev/null >/dev/null 2>&1; then
        echo "Wine does not run in $WINEPREFIX" >&2
        exit 1
    fi
    echo "Wine server running for $WINEPREFIX"
}

stop() {
    "$SERVER" -k </dev/null >/dev/null 2>&1
    "$SERVER" -w </dev/null >/dev/null 2>&1
    echo "Wine server stopped for $WINEPREFIX"
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
