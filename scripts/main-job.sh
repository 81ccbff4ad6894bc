#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, packages the sample Java
# application into app-launcher.exe and runs the packaged launcher under Wine with its
# errors on standard error, then shows what happened (exit code, messages, diagnostic log).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/deps.sh
bash scripts/build.sh

out="$root/build/sample"
mkdir -p "$out/classes"
echo "== compiling the sample application"
javac -d "$out/classes" $(find sample/src -name '*.java')
jar --create --file "$out/hello.jar" -C "$out/classes" .

echo "== packaging build/sample/hello.exe"
build/host/tools/zendra-pack build/win64/src/app/app-launcher.exe sample/hello.json "$out/hello.exe"
build/host/tools/zendra-pack --dump "$out/hello.exe" --output "$out/hello.dump.json"
echo "   record: $(wc -c <"$out/hello.dump.json") bytes of description written back to build/sample/hello.dump.json"

export WINEPREFIX="$root/build/wineprefix-main"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix (once)"
  /usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver64 -w
fi

echo "== running: wine hello.exe -q_qln_internal hello.txt   (ZENDRA_LOG=yes)"
echo "   search sequence of the sample: $(grep -o '"searchSequence": "[^"]*"' sample/hello.json)"
set +e
ZENDRA_LOG=yes /usr/lib/wine/wine64 "$out/hello.exe" -q_qln_internal hello.txt </dev/null 2>"$out/stderr.txt"
code=$?
set -e
/usr/lib/wine/wineserver64 -w
echo "-- exit code: $code"
echo "-- standard error:"
sed 's/^/   /' "$out/stderr.txt"
logpath=$(sed -n 's/^Log: //p' "$out/stderr.txt" | tr -d '\r' | tail -n 1)
if [ -n "$logpath" ]; then
  unixlog=$(/usr/lib/wine/wine64 winepath -u "$logpath" 2>/dev/null | tr -d '\r')
  echo "-- diagnostic log ($logpath):"
  sed 's/^/   /' "$unixlog"
fi

case "$code" in
  83)
    echo "== No Windows Java runtime was found in the Wine prefix (none is installed on this machine):"
    echo "   the launcher ended in its 'no runtime' path (exit code 83); the log above shows where it looked."
    echo "   Unpack a Windows JDK into the prefix and export JAVA_HOME (as a Windows path) to let it find one."
    exit 0 ;;
  0)
    echo "== The sample application ran in a Java runtime found in the Wine prefix and returned."
    exit 0 ;;
esac
echo "== unexpected exit code $code" >&2
exit 1
