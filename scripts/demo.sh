#!/usr/bin/env bash
# The main job, end to end: builds the Windows program and romtool, makes the demo machine, and
# runs quorrelite.exe under wine64 in manufacturing mode ("/M newer.rom") against it. The flash
# part is slowed a little so the flash can be watched. Prints the manufacturing log, the restart
# the machine recorded and the exit status, and leaves a screenshot taken once the main window is
# up and its block map shows the flash under way (cells erased or programmed); without one the
# job fails.
#   scripts/demo.sh [OUT]      (OUT defaults to build/demo)
# With no X display it runs on a virtual one (Xvfb).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here/build/demo}")
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$out"
fi
cd "$here"
# QL_EXE and QL_ROMTOOL name programs already built; otherwise the presets build them.
exe=${QL_EXE:-}
romtool=${QL_ROMTOOL:-}
if [ -z "$exe" ]; then
  cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target quorrelite >/dev/null
  exe=build/win64/quorrelite.exe
fi
if [ -z "$romtool" ]; then
  cmake --preset gcc >/dev/null && cmake --build --preset gcc -j2 --target romtool >/dev/null
  romtool=build/gcc/romtool
fi

rm -rf "$out" && mkdir -p "$out/program"
"$romtool" demo "$out" >/dev/null
printf 'erase_ms = 300\nprogram_ms = 25\n' >> "$out/machine/machine.txt"
cp "$exe" "$out/newer.rom" "$out/program/"

# The block map's legend shows one 7 x 7 cell of each colour; a flash under way adds erased (red)
# and programmed (blue) cells. Answers how many such pixels a screenshot has beyond the legend's.
flash_pixels() {  # PNG
  convert "$1" -format %c histogram:info:- 2>/dev/null |
    awk '/#FF0000|#0000FF/ { sub(":", "", $1); n += $1 - 49 } END { print n + 0 }'
}

# The prefix is made whole first: a program started while Wine makes it shares the screen with
# Wine's "please wait" box.
"$here/scripts/wine-run.sh" --prepare
echo "Flashing $out/newer.rom onto the simulated machine $out/machine ..."
status=0
(cd "$out/program" && QUORRELITE_MACHINE="Z:${out//\//\\}\\machine" \
   "$here/scripts/wine-run.sh" quorrelite.exe "/M newer.rom") &
program=$!
shot=""
deadline=$((SECONDS + 60))
while [ "$SECONDS" -lt "$deadline" ]; do
  kill -0 "$program" 2>/dev/null || break
  import -window root "$out/poll.png" 2>/dev/null || break
  if [ "$(flash_pixels "$out/poll.png")" -ge 49 ]; then
    mv "$out/poll.png" "$out/screenshot.png" && shot="$out/screenshot.png"
    break
  fi
  sleep 0.1
done
rm -f "$out/poll.png"
wait "$program" || status=$?

echo "--- Logfile"
tr -d '\r' < "$out/program/Logfile"
echo "--- machine/shutdown.log"
cat "$out/machine/shutdown.log" 2>/dev/null || echo "(no restart recorded)"
echo "--- exit status $status (0: flashed and verified; see docs/manufacturing.md)"
if [ -n "$shot" ]; then
  echo "screenshot of the flash under way: $shot"
else
  echo "no screenshot: the main window never showed the flash under way"
  [ "$status" -ne 0 ] || status=1
fi
exit "$status"
