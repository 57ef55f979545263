#!/usr/bin/env bash
# The main job: builds the program and its tools, makes the default simulated machine with two
# sample images, and runs the real Windows program against it under wine64 (in a virtual display
# when there is none).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=${QL_JOBS:-2}
cmake --preset gcc >/dev/null && cmake --build --preset gcc -j "$jobs" --target romtool >/dev/null
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j "$jobs" --target quorrelite >/dev/null

demo=build/demo
rm -rf "$demo"
build/gcc/romtool demo "$demo"
export QL_WINEPREFIX=${QL_WINEPREFIX:-$PWD/build/wineprefix}
export QUORRELITE_MACHINE="Z:$(cd "$demo/machine" && pwd | tr / '\\')"
cd "$demo"
set +e
../../scripts/wine-run.sh ../win64/quorrelite.exe "/M newer.rom"
status=$?
set -e
echo "quorrelite.exe ended with exit status $status"
exit "$status"
