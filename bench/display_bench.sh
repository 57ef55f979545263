#!/usr/bin/env bash
# What the display costs a flash: the real quorrelite.exe under wine64 + Xvfb flashes a 4 MiB image
# in manufacturing mode on a zero-latency simulated machine. The flash is timed from the first
# write to the part (flash.bin changes) to the moment the shutdown box appears, which the flash
# job opens right after its last verify; the box is then answered with "Shutdown Now...".
#   bench/display_bench.sh [RUNS]
# Uses build/win64/quorrelite.exe and build/gcc/romtool unless QL_EXE and QL_ROMTOOL say otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"; fi
runs=${1:-3}
exe=${QL_EXE:-$here/build/win64/quorrelite.exe}
romtool=${QL_ROMTOOL:-$here/build/gcc/romtool}
export QL_WINEPREFIX=${QL_WINEPREFIX:-$here/build/wineprefix}
work=$(mktemp -d /tmp/ql-dbench-XXXXXX)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++ -O1 -static "$here/bench/click_button.cpp" -o "$work/click_button.exe"
"$romtool" make "$work/installed.rom" --size-kb 4096 --date 03/14/05 >/dev/null
# Other code bytes: every block differs, so the whole part is rewritten.
"$romtool" make "$work/newer.rom" --size-kb 4096 --date 06/01/06 --seed 2 >/dev/null
mkdir -p "$work/prog" && cp "$exe" "$work/newer.rom" "$work/prog/"
for run in $(seq "$runs"); do
  rm -rf "$work/machine" && "$romtool" machine "$work/installed.rom" "$work/machine" >/dev/null
  (cd "$work/prog" && QUORRELITE_MACHINE="Z:${work//\//\\}\\machine" \
     "$here/scripts/wine-run.sh" quorrelite.exe "/M newer.rom" >/dev/null 2>&1) &
  program=$!
  python3 - "$work/machine/flash.bin" "$work" <<'PY' &
import os, sys, time
path, work = sys.argv[1], sys.argv[2]
start = os.stat(path).st_mtime_ns
while os.stat(path).st_mtime_ns == start:
    time.sleep(0.001)
open(os.path.join(work, "first_write"), "w").write(repr(time.time()))
PY
  watcher=$!
  (cd "$work" && "$here/scripts/wine-run.sh" "$work/click_button.exe" "Quorrelite Shutdown Box" 1 \
     2>/dev/null | sed -n 's/^found at //p' > "$work/box")
  wait "$watcher"; wait "$program" || true
  python3 -c "import sys; a=float(open('$work/first_write').read()); b=float(open('$work/box').read()); print(f'run $run: 4 MiB flash with the display {1000*(b-a):.0f} ms')"
done
