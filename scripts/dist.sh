#!/usr/bin/env bash
# The release archive: installs the win64, win32 and linux trees (scripts/build.sh builds them)
# side by side, adds the short user guide, an example description and the checksums, and
# writes build/dist/zendra-<version>.zip with build/dist/zendra-<version>.zip.sha256 beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(zendra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="zendra-$version"
dist=build/dist
stage="$dist/$name"
rm -rf "$stage" "$dist/$name.zip" "$dist/$name.zip.sha256"
mkdir -p "$stage"
cmake --install build/win64 --prefix "$stage" >/dev/null
cmake --install build/win32 --prefix "$stage" >/dev/null
cmake --install build/linux --prefix "$stage" --strip >/dev/null

# The user guide: the README's sections on getting zendra and on packaging, and the
# packaging tool's reference.
awk '/^## / { keep = ($0 == "## Getting zendra" || $0 == "## Packaging a launcher" || $0 == "## Packaging on Windows") }
     NR == 1 { print "# zendra " v "\n"; next }
     keep' v="$version" README.md >"$stage/README.md"
cp tools/README.md "$stage/PACKAGING.md"
"$stage/bin/zendra-pack" --init "Example" --output "$stage/example.json"
# The Java runtime library, once a tree builds it.
for jar in build/linux/java/zendra-runtime.jar build/host/java/zendra-runtime.jar; do
  if [ -f "$jar" ]; then
    mkdir -p "$stage/java" && cp "$jar" "$stage/java/"
    break
  fi
done

(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum >SHA256SUMS)
(cd "$dist" && zip -qr -X "$name.zip" "$name" && sha256sum "$name.zip" >"$name.zip.sha256")
echo "dist: $dist/$name.zip ($(du -k "$dist/$name.zip" | cut -f1) KB), checksum in $dist/$name.zip.sha256"
