#!/usr/bin/env bash
# Start-up benchmark of the Linux application launcher against the runtime's own java
# (see bench/linux_startup.py). Builds first.
# Usage: bash bench/run-linux.sh [--rounds N]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh >/dev/null
bash scripts/build.sh >/dev/null
python3 bench/linux_startup.py --packager build/linux/tools/zendra-pack \
  --launcher build/linux/src/linux/app-launcher --runtime-jar build/linux/java/zendra-runtime.jar "$@"
