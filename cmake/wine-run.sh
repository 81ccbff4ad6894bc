#!/usr/bin/env bash
# Runs a Windows program under Wine (64-bit) in the project's test prefix.
# WINEPREFIX defaults to the prefix the test fixture creates under the build tree.
set -u
: "${WINEPREFIX:=${ZENDRA_WINEPREFIX:-$HOME/.zendra-wine}}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec /usr/lib/wine/wine64 "$@"
