#!/usr/bin/env bash
# The release archive as a user gets it: unpacked into a fresh directory (blanks and non-ASCII
# letters in its path), checked against its checksums, then used from there alone. A starting
# description from zendra-pack --init packs onto the Linux launcher and runs a real Java
# application; the sample with its splash bitmap is packed onto the Windows launchers by both
# zendra-pack.exe (under Wine) and the Linux zendra-pack (helper found beside it), which must
# agree byte for byte, and the x64 launcher runs under Wine. A missing file fails the test.
#   tests/dist/test_dist.sh [build/dist/zendra-<version>.zip]   (default: the project's version)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
zip="$root/${1:-build/dist/zendra-$(sed -n 's/^project(zendra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt).zip}"
version=$(basename "$zip" .zip)
version=${version#zendra-}
work=$(mktemp -d)
wineserver=/usr/lib/wine/wineserver64
# One persistent Wine server for every Wine run of the test, stopped at the end.
finish() {
  timeout 60 "$wineserver" -k </dev/null >/dev/null 2>&1
  timeout 60 "$wineserver" -w </dev/null >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "dist test: $*" >&2; exit 1; }
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
run() { timeout 120 "$@"; }
"$wineserver" -p </dev/null >/dev/null 2>&1 &

(cd "$(dirname "$zip")" && sha256sum --quiet -c "$(basename "$zip").sha256") || fail "the archive's checksum does not match"
home="$work/Zendra Ünpacked"
mkdir -p "$home"
unzip -q "$zip" -d "$home"
z="$home/zendra-$version"
(cd "$z" && sha256sum --quiet -c SHA256SUMS) || fail "a file does not match SHA256SUMS"
for f in bin/zendra-pack bin/zendra-pack.exe bin/zendra-rc.exe linux/x64/app-launcher README.md PACKAGING.md \
    example.json windows/x64/app-launcher.exe windows/x64/service-launcher.exe windows/x64/setup-launcher.exe \
    windows/x86/service-launcher.exe windows/x86/setup-launcher.exe; do
  [ -f "$z/$f" ] || fail "$f is missing from the archive"
done
grep -q '^## Packaging on Windows' "$z/README.md" || fail "README.md lacks the section on packaging on Windows"
[ "$("$z/bin/zendra-pack" --version)" = "zendra-pack $version" ] || fail "zendra-pack --version"
[ "$(run "$wine" "$z/bin/zendra-pack.exe" --version)" = "zendra-pack $version" ] || fail "zendra-pack.exe --version"

# Linux: a description from --init, as it is, around a small application of that name.
app="$work/app"
mkdir -p "$app/src/com/example/hello"
cp -r sample/src/com "$app/src/"
printf 'package com.example.hello;\npublic final class Main {\n    public static void main(String[] a) throws Exception {\n        HelloApp.main(a);\n    }\n}\n' \
  >"$app/src/com/example/hello/Main.java"
runtime_jar="$z/java/zendra-runtime.jar"
[ -f "$runtime_jar" ] || fail "java/zendra-runtime.jar is missing from the archive"
mkdir -p "$app/classes"
(cd "$app/classes" && jar --extract --file "$runtime_jar")
javac -cp "$runtime_jar" -d "$app/classes" $(find "$app/src" -name '*.java')
jar --create --file "$app/hello.jar" -C "$app/classes" .
"$z/bin/zendra-pack" --init Hello --output "$app/hello.json"
"$z/bin/zendra-pack" "$z/linux/x64/app-launcher" "$app/hello.json" "$app/hello" 2>"$app/pack.txt" ||
  fail "packing the Linux launcher: $(cat "$app/pack.txt")"
set +e
TMPDIR="$app" XDG_RUNTIME_DIR="$app" run "$app/hello" "from the archive" --exit=5 >"$app/out.txt" 2>&1
code=$?
set -e
grep -q "argument 0: from the archive" "$app/out.txt" && [ "$code" -eq 5 ] ||
  fail "the packaged Linux launcher (exit $code): $(cat "$app/out.txt")"

# Windows: the sample with its splash bitmap, once by each packaging tool.
win="$work/win"
mkdir -p "$win"
cp sample/hello.json "$win/"
/usr/bin/python3 sample/make_splash.py "$win/splash.bmp"
run "$wine" "$z/bin/zendra-pack.exe" "$z/windows/x64/app-launcher.exe" "$win/hello.json" "$win/hello.exe" \
  >"$win/pack.txt" 2>&1 || fail "zendra-pack.exe: $(cat "$win/pack.txt")"
(unset ZENDRA_RESOURCE_HELPER; run "$z/bin/zendra-pack" "$z/windows/x64/app-launcher.exe" "$win/hello.json" \
  "$win/hello-linux.exe") >"$win/pack-linux.txt" 2>&1 || fail "zendra-pack with the helper: $(cat "$win/pack-linux.txt")"
cmp -s "$win/hello.exe" "$win/hello-linux.exe" || fail "the two packaging tools wrote different files"
for program in service setup; do
  "$z/bin/zendra-pack" "$z/windows/x86/$program-launcher.exe" "$z/example.json" "$win/$program-x86.exe" 2>/dev/null &&
    "$z/bin/zendra-pack" --verify "$win/$program-x86.exe" >/dev/null || fail "packing the x86 $program-launcher"
done
set +e
run "$wine" "$win/hello.exe" -q_qln_internal </dev/null >"$win/out.txt" 2>&1
code=$?
set -e
# No Windows runtime is installed in the prefix: the launcher ends with the record's own text.
grep -q "No suitable 64-bit Java runtime (11 or newer) was found" "$win/out.txt" && [ "$code" -eq 83 ] ||
  fail "the packaged Windows launcher (exit $code): $(cat "$win/out.txt")"
echo "dist test: zendra-$version.zip unpacked, checked, packaged and run from $home"
