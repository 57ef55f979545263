#!/usr/bin/env bash
# Builds the release programs and makes dist/quorrelite-VERSION.zip: the 32-bit and the 64-bit
# program, the help text the program shows, the factory line's sheet and a SHA-256 list of them.
# VERSION is the one the program's resources carry (src/resources/version.h). The release presets
# build the programs without the simulated machine; each is checked to hold none of it and to
# ignore QUORRELITE_MACHINE under Wine (tests/e2e/release_check.sh) before it is packed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

version=$(sed -nE 's/^#define QL_VERSION_TEXT "([^"]+)"$/\1/p' src/resources/version.h)
[ -n "$version" ] || { echo "package: no QL_VERSION_TEXT in src/resources/version.h"; exit 1; }

jobs=${QL_JOBS:-2}
for preset in win32 win64-release; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
# The 32-bit program must start on the systems it is for before it is handed out.
scripts/check_imports.sh build/win32/quorrelite.exe
cmake --preset gcc >/dev/null && cmake --build --preset gcc -j "$jobs" --target romtool >/dev/null
for exe in build/win32/quorrelite.exe build/win64-release/quorrelite.exe; do
  tests/e2e/release_check.sh "$exe"
done

name=quorrelite-$version
stage=build/package/$name
rm -rf build/package && mkdir -p "$stage" dist
cp build/win32/quorrelite.exe "$stage/quorrelite-32bit-windows98-and-later.exe"
cp build/win64-release/quorrelite.exe "$stage/quorrelite-64bit-windows-x64.exe"
cp src/resources/help.txt "$stage/help.txt"
cp docs/manufacturing.md "$stage/manufacturing-line-sheet.md"
(cd "$stage" && sha256sum -- *.exe *.txt *.md >SHA256SUMS && sha256sum -c --quiet SHA256SUMS)

rm -f "dist/$name.zip"
(cd build/package && zip -qr -X "../../dist/$name.zip" "$name")
ls -l "dist/$name.zip"
