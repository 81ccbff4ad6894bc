#!/usr/bin/env bash
# Configures and builds the presets: host (tools and unit tests), win64, win32 and linux (the
# Linux edition of the application launcher with its end-to-end tests).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in host win64 win32 linux; do
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >"build-$preset.configure.log" 2>&1 || { cat "build-$preset.configure.log"; exit 1; }
    rm -f "build-$preset.configure.log"
  fi
  cmake --build --preset "$preset"
done
