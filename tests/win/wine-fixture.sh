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
ENVIRONMENT_KEY='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

start() {
    mkdir -p "$WINEPREFIX" || exit 1
    # A server left over from an earlier run (possibly with other settings) goes first.
    "$SERVER" -k </dev/null >/dev/null 2>&1
    "$SERVER" -w </dev/null >/dev/null 2>&1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating Wine prefix $WINEPREFIX"
        "$WINE" wineboot --init </dev/null >/dev/null 2>&1
    fi
    # The service manager gives the services it starts the system environment of the
    # registry as it was when the manager started. Requesting the diagnostic log there for
    # that moment makes every launcher that the manager runs write one, while
    # programs started later by the tests see the environment without it. The new server
    # also starts exactly one service manager (creating a prefix can leave two running,
    # each with its own service database).
    "$WINE" reg add "$ENVIRONMENT_KEY" /v ZENDRA_LOG /d yes /f </dev/null >/dev/null 2>&1
    "$SERVER" -k </dev/null >/dev/null 2>&1
    "$SERVER" -w </dev/null >/dev/null 2>&1
    "$SERVER" -p </dev/null >/dev/null 2>&1 &
    # A trivial program proves that the prefix and the server work.
    if ! "$WINE" cmd /c exit 0 </dev/null >/dev/null 2>&1; then
        echo "Wine does not run in $WINEPREFIX" >&2
        exit 1
    fi
    # The manager has taken the environment once its first service runs.
    for _ in $(seq 100); do
        "$WINE" sc query PlugPlay </dev/null 2>/dev/null | grep -q RUNNING && break
        sleep 0.2
    done
    "$WINE" reg delete "$ENVIRONMENT_KEY" /v ZENDRA_LOG /f </dev/null >/dev/null 2>&1
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
