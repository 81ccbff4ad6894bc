#!/usr/bin/env bash
# Runs every test: host unit tests and the fuzzer, Windows unit tests and end-to-end tests
# of the real executables under Wine (inside a virtual X display), the static checks of the
# x86 builds, the launchers' sizes against their budgets, the Linux edition's end-to-end tests
# with a real Java runtime, and the release archive unpacked and used from a fresh directory.
# Installs what is missing and builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/deps.sh
bash scripts/build.sh

# A fresh Wine prefix for this run; the CTest fixture initialises it and runs the server.
export WINEPREFIX="$root/build/wineprefix"
rm -rf "$WINEPREFIX"

status=0
ctest --preset host -j2 || status=1
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset win64 || status=1
ctest --preset linux || status=1
ctest --preset win32 || status=1
# The shipped launchers' sizes against their budgets.
python3 bench/size_report.py --x64 build/win64 --x86 build/win32 || status=1
# The release archive, unpacked and used as a user would.
{ bash scripts/dist.sh && bash tests/dist/test_dist.sh; } || status=1
exit $status
