#!/usr/bin/env bash
# Start-up benchmark of app-launcher under Wine (see bench/startup.py). Builds first.
# Usage: bash bench/run.sh [--rounds N]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/deps.sh >/dev/null
bash scripts/build.sh >/dev/null

export WINEPREFIX="$root/build/wineprefix-bench"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver64 -w
fi
# One persistent server for the whole measurement, as the tests use.
/usr/lib/wine/wineserver64 -p </dev/null >/dev/null 2>&1 &
trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
sleep 0.5

doubles="$root/build/win64/doubles"
export ZENDRA_JAVA_DOUBLE="$doubles/java.exe" ZENDRA_JVM_DOUBLE="$doubles/jvm.dll"
export ZENDRA_JVM_NOEXPORT_DOUBLE="$doubles/jvm-noexport.dll" ZENDRA_JVM_DOUBLE_X86="$doubles/x86/jvm.dll"
export ZENDRA_TRIVIAL_EXE="$doubles/trivial.exe"
python3 bench/startup.py --packager build/host/tools/zendra-pack \
  --launcher build/win64/src/app/app-launcher.exe "$@"
