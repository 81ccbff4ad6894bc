#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, packages the sample Java
# application into app-launcher.exe and runs the packaged launcher under Wine with its
# errors on standard error, then shows what happened (exit code, messages, diagnostic log)
# and saves a screenshot of the sample's splash screen taken in a virtual X display; then
# packages the same description onto the Linux app-launcher and runs the sample for real.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/deps.sh
bash scripts/build.sh

out="$root/build/sample"
mkdir -p "$out/classes"
echo "== compiling the sample application against zendra-runtime.jar"
javac -cp build/host/java/zendra-runtime.jar -d "$out/classes" $(find sample/src -name '*.java')
jar --create --file "$out/hello.jar" -C "$out/classes" .
cp build/host/java/zendra-runtime.jar "$out/zendra-runtime.jar"

echo "== javadoc of zendra-runtime.jar into build/javadoc"
javadoc -quiet -Xdoclint:all -Werror -encoding UTF-8 -d build/javadoc -sourcepath java/src com.zendra.runtime \
  >build/javadoc.log 2>&1 || { cat build/javadoc.log >&2; exit 1; }
echo "   open build/javadoc/index.html"

# ======================= Windows: app-launcher under Wine =======================
# Debian's python3-pil belongs to the system interpreter, which another python3 on PATH may hide.
python=/usr/bin/python3
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the Wine prefix named by $WINEPREFIX when it does not exist yet.
init_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix ${WINEPREFIX#"$root"/} (once)"
    "$wine" wineboot --init </dev/null >/dev/null 2>&1
    "$wineserver" -w
  fi
}

export WINEPREFIX="$root/build/wineprefix-main"
init_prefix

# The description names its splash bitmap relative to itself: both go to build/sample.
echo "== drawing the splash bitmap build/sample/splash.bmp"
"$python" sample/make_splash.py "$out/splash.bmp"
cp sample/hello.json "$out/hello.json"

echo "== packaging build/sample/hello.exe"
# Adding the bitmap runs a Wine helper: its output goes to a file, never to a pipe that the
# prefix's service processes could keep open.
if ! build/host/tools/zendra-pack --resource-helper build/win64/tools/win/zendra-rc.exe \
    build/win64/src/app/app-launcher.exe "$out/hello.json" "$out/hello.exe" >"$out/pack.txt" 2>&1; then
  cat "$out/pack.txt" >&2
  exit 1
fi
build/host/tools/zendra-pack --dump "$out/hello.exe" --output "$out/hello.dump.json"
echo "   record: $(wc -c <"$out/hello.dump.json") bytes of description written back to build/sample/hello.dump.json"

# Packaging ran its resource helper under Wine in this prefix: a new process that reaches the
# Wine server while that server is shutting down can be killed, so wait for it to end first.
"$wineserver" -w
echo "== running: wine hello.exe -q_qln_internal hello.txt   (ZENDRA_LOG=yes)"
echo "   search sequence of the sample: $(grep -o '"searchSequence": "[^"]*"' sample/hello.json)"
set +e
ZENDRA_LOG=yes "$wine" "$out/hello.exe" -q_qln_internal hello.txt </dev/null 2>"$out/stderr.txt"
code=$?
set -e
"$wineserver" -w
echo "-- exit code: $code"
echo "-- standard error:"
sed 's/^/   /' "$out/stderr.txt"
logpath=$(sed -n 's/^Log: //p' "$out/stderr.txt" | tr -d '\r' | tail -n 1)
if [ -n "$logpath" ]; then
  unixlog=$("$wine" winepath -u "$logpath" 2>/dev/null | tr -d '\r')
  echo "-- diagnostic log ($logpath):"
  sed 's/^/   /' "$unixlog"
fi

windows_status=1
case "$code" in
  83)
    echo "== No Windows Java runtime was found in the Wine prefix (none is installed on this machine):"
    echo "   the launcher ended in its 'no runtime' path (exit code 83); the log above shows where it looked."
    echo "   Unpack a Windows JDK into the prefix and export JAVA_HOME (as a Windows path) to let it find one."
    windows_status=0 ;;
  0)
    echo "== The sample application ran in a Java runtime found in the Wine prefix and returned."
    windows_status=0 ;;
  *)
    echo "== unexpected exit code $code" >&2 ;;
esac

# The splash screen. Without a runtime the search above ends within milliseconds, before Wine
# has even mapped the splash window, so nothing of it could be seen. The screenshot run gives
# the launcher the stand-in runtime of the Windows tests (tests/doubles: a java.exe that reports
# Java 17 and a jvm.dll that plays the VM) in a prefix of its own with a virtual display: the
# splash is up while that VM is being created, which the stand-in holds back until the
# screenshot is taken (its "await" go-ahead file); its main then returns.
echo "== splash screen: a second run of hello.exe in a virtual X display (xvfb-run)"
standin="$out/standin-jre"
go_dir=$(mktemp -d)  # no blanks: the go-ahead's path is one word of the stand-in's scenario
rm -rf "$standin"
mkdir -p "$standin/bin/server"
for program in java.exe javaw.exe; do cp build/win64/doubles/java.exe "$standin/bin/$program"; done
cp build/win64/doubles/jvm.dll "$standin/bin/server/jvm.dll"
printf 'stderr=openjdk version "17.0.15" 2025-04-15\nexit=0\n' >"$standin/bin/java-double.cfg"
printf 'return await=Z:%s\n' "$(printf '%s' "$go_dir/go" | tr / '\\')" >"$standin/bin/server/jvm-double.scenario"
echo "   JAVA_HOME: the stand-in runtime build/sample/standin-jre (no Windows Java runtime is installed here)"
export WINEPREFIX="$root/build/wineprefix-splash"
init_prefix
rm -f "$out/splash.png"
set +e
# Inside the virtual display: the capture, then the prefix's server ends before the display does.
JAVA_HOME="Z:$(printf '%s' "$standin" | tr / '\\')" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" sample/capture_splash.py --go "$5" "Hello Sample" "$2/splash.bmp" "$2/splash.png" "$2/splash-run.txt" \
    "$3" "$2/hello.exe" -q_qln_internal hello.txt
  status=$?
  "$4" -k
  "$4" -w
  exit $status' capture "$python" "$out" "$wine" "$wineserver" "$go_dir/go"
shot=$?
set -e
rm -rf "$go_dir"
if [ "$shot" -eq 0 ] && [ -f "$out/splash.png" ]; then
  echo "-- screenshot of the splash screen: $out/splash.png"
else
  echo "== the splash screen could not be captured; what the run wrote:" >&2
  sed 's/^/   /' "$out/splash-run.txt" >&2 || true
  windows_status=1
fi

# The sample as an installer: setup-launcher.exe with the stand-in runtime bundled as
# jre.tar.gz (ustar, made with tar and gzip as a vendor makes one from a jlink image). A quiet
# run checks the installer's integrity, unpacks the runtime into the per-run directory and
# starts the installer's main in it; a second run shows the progress dialog until the
# stand-in's main has put up its window, with a screenshot of the dialog.
echo "== installer: the sample packaged onto setup-launcher.exe with the stand-in runtime as jre.tar.gz"
inst="$out/installer"
rm -rf "$inst"
mkdir -p "$inst/runtime/bin/server"
cp build/win64/doubles/java.exe "$inst/runtime/bin/java.exe"
cp build/win64/doubles/jvm.dll "$inst/runtime/bin/server/jvm.dll"
tar --format=ustar -czf "$inst/jre.tar.gz" -C "$inst/runtime" .
size=$(gzip -dc "$inst/jre.tar.gz" | wc -c)
cat >"$inst/setup.json" <<JSON
{
  "integrity": true,
  "strings": {
    "applicationName": "Hello Sample Setup", "productFlavour": "zendra", "launcherType": 1,
    "searchSequence": "", "jreArchiveSize": $size,
    "errorVmStart": "The installer could not start its Java virtual machine."
  },
  "messages": {
    "msgCaption": "Hello Sample Setup", "msgProgressInitial": "Preparing the installation of Hello Sample...",
    "msgCancelButton": "Cancel", "msgDataDamaged": "The installer is damaged. Please download it again.",
    "msgInterruptedQuestion": "The last installation of Hello Sample was interrupted. Choose a Java runtime yourself?"
  },
  "files": [ { "name": "jre.tar.gz", "source": "jre.tar.gz" } ]
}
JSON
build/host/tools/zendra-pack build/win64/src/setup/setup-launcher.exe "$inst/setup.json" "$inst/setup.exe"
go_dir=$(mktemp -d)
set +e
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  inst=$1 wine=$2 wineserver=$3 go=$4
  echo "== running: wine setup.exe -q   (the stand-in installer main returns at once)"
  ZENDRA_JVM_DOUBLE_SCENARIO=return "$wine" "$inst/setup.exe" -q </dev/null >"$inst/quiet.txt" 2>&1
  echo $? >"$inst/quiet.code"
  echo "-- exit code: $(cat "$inst/quiet.code")"
  # A finished Java installer clears its mark; the stand-in does not, so the job does.
  clear_mark() { "$wine" reg delete "HKCU\\Software\\orvane-labs\\zendra" /v InstallStarted /f >/dev/null 2>&1; }
  clear_mark
  echo "== running: wine setup.exe   (progress dialog until the stand-in installer shows its window)"
  winego="Z:$(printf "%s" "$go" | tr / "\\\\")"
  ZENDRA_JVM_DOUBLE_SCENARIO="await=$winego window sleep=1500" "$wine" "$inst/setup.exe" </dev/null >"$inst/dialog.txt" 2>&1 &
  run=$!
  for _ in $(seq 1 300); do
    xdotool search --onlyvisible --name "^Hello Sample Setup\$" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 0.5
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$inst/progress-dialog.png" 2>/dev/null
  touch "$go"
  timeout 60 tail --pid=$run -f /dev/null || kill $run
  wait $run
  echo $? >"$inst/dialog.code"
  clear_mark
  echo "-- exit code: $(cat "$inst/dialog.code")"
  "$wineserver" -k
  "$wineserver" -w' installer "$inst" "$wine" "$wineserver" "$go_dir/go"
set -e
rm -rf "$go_dir"
if [ "$(cat "$inst/quiet.code" 2>/dev/null)" != 0 ] || [ "$(cat "$inst/dialog.code" 2>/dev/null)" != 0 ]; then
  echo "== the installer runs did not end with exit code 0; what they wrote:" >&2
  cat "$inst/quiet.txt" "$inst/dialog.txt" >&2 || true
  windows_status=1
fi
if [ -s "$inst/progress-dialog.png" ]; then
  echo "-- screenshot of the installer's progress dialog: $inst/progress-dialog.png"
else
  echo "== the installer's progress dialog could not be captured" >&2
  windows_status=1
fi
# The sample as an installer that downloads its runtime: the stand-in runtime (with a
# megabyte of data, the bulk a real runtime has) served as jre.tar.gz by a loopback HTTP server
# (tests/e2e/runtime_server.py, slowed to about three seconds), fetched by setup.exe through
# Wine's Internet client without asking (property 157), its SHA-256 checked against the
# digest the packaging tool wrote (property 3001), unpacked and started. The job prints the
# status lines the progress dialog showed, from the diagnostic log.
echo "== installer that downloads its runtime from a loopback HTTP server"
dl="$out/download"
rm -rf "$dl"
mkdir -p "$dl/runtime/bin/server" "$dl/runtime/lib" "$dl/tmp"
cp build/win64/doubles/java.exe "$dl/runtime/bin/java.exe"
cp build/win64/doubles/jvm.dll "$dl/runtime/bin/server/jvm.dll"
head -c 1000000 /dev/urandom >"$dl/runtime/lib/modules"
tar --format=ustar -czf "$dl/jre.tar.gz" -C "$dl/runtime" .
"$python" tests/e2e/runtime_server.py "$dl/jre.tar.gz" normal 0.05 >"$dl/server.txt" 2>&1 &
server=$!
for _ in $(seq 50); do [ -s "$dl/server.txt" ] && break; sleep 0.1; done
url=$(head -n 1 "$dl/server.txt")
echo "   serving build/sample/download/jre.tar.gz ($(wc -c <"$dl/jre.tar.gz") bytes) at $url"
cat >"$dl/setup.json" <<JSON
{
  "strings": {
    "applicationName": "Hello Sample Setup", "productFlavour": "zendra", "launcherType": 1,
    "searchSequence": "", "jreDownloadLocation": "$url", "downloadWithoutAsking": 1,
    "errorVmStart": "The installer could not start its Java virtual machine."
  },
  "messages": {
    "msgCaption": "Hello Sample Setup", "msgProgressInitial": "Preparing the installation of Hello Sample...",
    "msgCancelButton": "Cancel", "msgDownloading": "Downloading a Java runtime for Hello Sample...",
    "msgConnecting": "Connecting...", "msgDownloadStatus": "%.2f of %.2f MB (%.0f%%), %.1f bytes/ms",
    "msgDownloadFailed": "The Java runtime could not be downloaded."
  },
  "downloadArchive": "jre.tar.gz"
}
JSON
build/host/tools/zendra-pack build/win64/src/setup/setup-launcher.exe "$dl/setup.json" "$dl/setup.exe"
set +e
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  dl=$1 wine=$2 wineserver=$3
  echo "== running: wine setup.exe   (progress dialog with the download status line)"
  ZENDRA_LOG=yes ZENDRA_JVM_DOUBLE_SCENARIO=return timeout 120 "$wine" cmd /c set "TMP=Z:$(printf "%s" "$dl/tmp" | tr / "\\\\")&&" \
    "Z:$(printf "%s" "$dl/setup.exe" | tr / "\\\\")" </dev/null >"$dl/run.txt" 2>&1
  echo $? >"$dl/run.code"
  "$wine" reg delete "HKCU\\Software\\orvane-labs\\zendra" /v InstallStarted /f >/dev/null 2>&1
  "$wineserver" -k
  "$wineserver" -w' download "$dl" "$wine" "$wineserver"
set -e
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
echo "-- exit code: $(cat "$dl/run.code" 2>/dev/null)"
dllog=$(ls "$dl"/tmp/qln_nlog* 2>/dev/null | head -n 1)
if [ -n "$dllog" ]; then
  echo "-- what the download logged ($(basename "$dllog")), the status lines included:"
  tr -d '\r' <"$dllog" | grep -aE "^(Download location|Downloading JRE|file size|download status|SHA-256|download successful|ERROR)" \
    | sed 's/^/   /'
fi
if [ "$(cat "$dl/run.code" 2>/dev/null)" != 0 ] || [ -z "$dllog" ] || ! grep -aq "download status" "$dllog"; then
  echo "== the downloading installer did not end as expected; what it wrote:" >&2
  cat "$dl/run.txt" >&2 || true
  windows_status=1
fi
# ================ Windows: the sample as a service under Wine ================
# The same application packaged onto service-launcher.exe and driven through its command words.
# Its worker runs the stand-in runtime (its jvm.dll plays a Java service: main waits for the
# shutdown line "0" on standard input). The Wine fixture of the tests runs the server: it starts
# exactly one service manager and has the services it starts write their diagnostic logs.
echo "== the sample as a Windows service: build/sample/service/HelloService.exe"
svc="$out/service"
rm -rf "$svc"
mkdir -p "$svc/jre/bin/server"
cp "$out/hello.jar" "$out/zendra-runtime.jar" "$svc/"
cp build/win64/doubles/java.exe "$svc/jre/bin/java.exe"
cp build/win64/doubles/jvm.dll "$svc/jre/bin/server/jvm.dll"
printf 'stderr=openjdk version "17.0.15" 2025-04-15\nexit=0\n' >"$svc/jre/bin/java-double.cfg"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
printf 'service record=%s\n' "$(winpath "$svc/record.txt")" >"$svc/jre/bin/server/jvm-double.scenario"
# The service manager's environment has no JAVA_HOME: the description names the runtime.
"$python" -c 'import json, sys; d = json.load(open(sys.argv[1])); d["strings"]["searchSequence"] = "A" + sys.argv[2]
json.dump(d, open(sys.argv[3], "w"), indent=2)' sample/hello-service.json "$(winpath "$svc/jre")" "$svc/hello-service.json"
build/host/tools/zendra-pack build/win64/src/service/service-launcher.exe "$svc/hello-service.json" \
  "$svc/HelloService.exe" >"$svc/pack.txt" 2>&1 || { cat "$svc/pack.txt" >&2; exit 1; }
export WINEPREFIX="$root/build/wineprefix-service"
bash tests/win/wine-fixture.sh start
rm -f "$WINEPREFIX"/drive_c/qln_nlog_* "$WINEPREFIX"/drive_c/users/*/Temp/qln_nlog_*
service_status=0
run_word() {
  local expected=$1; shift
  echo "-- HelloService.exe $*"
  set +e
  "$wine" "$svc/HelloService.exe" "$@" </dev/null >"$svc/out.txt" 2>&1
  local code=$?
  set -e
  sed 's/^/   /' "$svc/out.txt"
  echo "   exit code $code"
  [ "$code" -eq "$expected" ] || { echo "== expected exit code $expected" >&2; service_status=1; }
}
run_word 0 /install
run_word 0 /start
for _ in $(seq 50); do  # the manager starts the service in the background
  "$wine" "$svc/HelloService.exe" /status </dev/null 2>&1 | grep -q '^Running' && break
  sleep 0.2
done
run_word 0 /status
run_word 0 /stop
run_word 3 /status
run_word 0 /uninstall
echo "-- what the worker's Java side got (the stand-in jvm.dll's record):"
grep -aE '^(commandLine|option -Dzendra.isService|arg|stdin)' "$svc/record.txt" | sed 's/^/   /' || service_status=1
for log in "$WINEPREFIX"/drive_c/qln_nlog_* "$WINEPREFIX"/drive_c/users/*/Temp/qln_nlog_*; do
  [ -f "$log" ] || continue
  echo "-- diagnostic log of a service process, ${log#"$WINEPREFIX"/}:"
  grep -aE "^(command line|calling|service|using|process|consuming|control|sending|shutdown|exiting|StartService|launching|main)" "$log" \
    | sed 's/^/   /'
done
bash tests/win/wine-fixture.sh stop
grep -aq '^stdin 0' "$svc/record.txt" || { echo "== the worker never got the shutdown line" >&2; service_status=1; }
[ "$service_status" -eq 0 ] && echo "== The sample ran as a Windows service: installed, started, stopped by its shutdown line, removed." \
  || windows_status=1
# ===================== end of the Windows part =====================

# ========== Linux: the same record on the Linux app-launcher, with a real Java runtime ==========
echo
linux_status=0
bash scripts/linux-sample.sh || linux_status=1

echo
echo "== the release archive"
bash scripts/dist.sh

[ "$windows_status" -eq 0 ] && [ "$linux_status" -eq 0 ]
