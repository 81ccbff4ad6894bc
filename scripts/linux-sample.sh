#!/usr/bin/env bash
# The Linux part of the main job: packages the sample application onto the Linux edition of
# the application launcher and starts it with the Java runtime this machine has; checks that
# the application received its arguments and that its exit status became the launcher's, then
# shows a second start handing its arguments to the running instance.
# Expects the builds of scripts/build.sh (build/linux).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/build/sample-linux"
rm -rf "$out"
mkdir -p "$out/classes" "$out/tmp" "$out/state" "$out/run"

echo "== compiling the sample application against zendra-runtime.jar"
runtime_jar=build/linux/java/zendra-runtime.jar
javac -cp "$runtime_jar" -d "$out/classes" $(find sample/src -name '*.java')
jar --create --file "$out/hello.jar" -C "$out/classes" .
cp "$runtime_jar" "$out/zendra-runtime.jar"

echo "== packaging build/sample-linux/hello (the Linux launcher with the sample's record)"
# The same description as for Windows; its Windows resources are left out (with a note).
build/linux/tools/zendra-pack build/linux/src/linux/app-launcher sample/hello.json "$out/hello" 2>"$out/pack.txt" || {
  cat "$out/pack.txt" >&2; exit 1; }
sed 's/^/   /' "$out/pack.txt"

echo "== running: hello \"Hello, Linux\" \"two words\" --exit=7   (ZENDRA_LOG=yes)"
echo "   search sequence of the sample: $(grep -o '"searchSequence": "[^"]*"' sample/hello.json)," \
     "JAVA_HOME=${JAVA_HOME:-(unset)}, java on PATH: $(command -v java || echo none)"
set +e
TMPDIR="$out/tmp" XDG_STATE_HOME="$out/state" XDG_RUNTIME_DIR="$out/run" ZENDRA_LOG=yes \
  "$out/hello" "Hello, Linux" "two words" --exit=7 >"$out/stdout.txt" 2>"$out/stderr.txt"
code=$?
set -e
echo "-- exit code: $code"
echo "-- standard output:"; sed 's/^/   /' "$out/stdout.txt"
echo "-- standard error:"; sed 's/^/   /' "$out/stderr.txt"
log=$(ls "$out"/tmp/qln_nlog_* 2>/dev/null | head -n 1 || true)
if [ -n "$log" ]; then
  echo "-- diagnostic log ($log), the search and the launch:"
  grep -E '^(Testing|checkJavaExe|Java version|got version|Trying|Loading|vmoption|main class|param|calling)' "$log" \
    | sed 's/^/   /'
fi

expected=("argument 0: Hello, Linux" "argument 1: two words" "argument 2: --exit=7")
for line in "${expected[@]}"; do
  grep -qF "$line" "$out/stdout.txt" || { echo "== missing in the output: $line" >&2; exit 1; }
done
if [ "$code" -ne 7 ]; then
  echo "== the launcher ended with $code, expected the application's status 7" >&2
  exit 1
fi
echo "== The sample ran in a real Java VM started by the packaged Linux launcher: its arguments arrived"
echo "   and its exit status 7 became the launcher's exit code."

# Single-instance mode: a second start hands its arguments to the running sample and ends.
echo "== single instance: hello --wait=4 runs; a second start: hello \"from a second start\" \"ünï cödé\""
export TMPDIR="$out/tmp" XDG_STATE_HOME="$out/state" XDG_RUNTIME_DIR="$out/run"
timeout 30 "$out/hello" --wait=4 >"$out/first.txt" 2>&1 &
first=$!
for _ in $(seq 100); do grep -q "single instance: true" "$out/first.txt" && break; sleep 0.1; done
start_ns=$(date +%s%N)
second=0
timeout 20 "$out/hello" "from a second start" "ünï cödé" || second=$?
echo "-- the second start ended with $second after $(( ($(date +%s%N) - start_ns) / 1000000 )) ms"
[ "$second" -eq 0 ] || { echo "== the second start should end with 0" >&2; exit 1; }
wait "$first" || true
echo "-- the running instance's output:"; sed 's/^/   /' "$out/first.txt"
grep -qF "    ünï cödé" "$out/first.txt" || { echo "== the hand-over did not arrive" >&2; exit 1; }
echo "== The running instance's listener received the second start's arguments."
