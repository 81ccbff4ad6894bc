#!/usr/bin/env bash
# Runs a Windows program under Wine (64-bit) in the project's test prefix.
# The prefix: $WINEPREFIX when the caller sets it; else $ZENDRA_WINEPREFIX, which CTest sets
# to <build dir>/wineprefix for the Windows tests; else ~/.zendra-wine.
# tests/win/wine-fixture.sh resolves it the same way.
set -u
: "${WINEPREFIX:=${ZENDRA_WINEPREFIX:-$HOME/.zendra-wine}}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec /usr/lib/wine/wine64 "$@"
