#!/usr/bin/env bash
# Unpacking and integrity-check benchmark of setup-launcher's portable code on Linux (see
# bench/archive.py). Builds the release build of the Linux edition first.
# Usage: bash bench/archive.sh [--rounds N]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh >/dev/null
if [ ! -f build/linux/build.ninja ]; then cmake --preset linux >/dev/null; fi
cmake --build --preset linux --target archive_bench >/dev/null
python3 bench/archive.py --bench build/linux/bench/archive_bench "$@"
