#!/usr/bin/env bash
# A release program has no simulated machine in it: no text of the simulator is in the file, and
# with QUORRELITE_MACHINE naming a working simulated machine it still looks for the real flash
# driver, finds none under Wine ("Can not get driver interface!!", as on a PC without the
# driver), ends with status 1 and leaves the machine's folder untouched.
#   tests/e2e/release_check.sh EXE        (an i686 EXE runs in a 32-bit prefix, see wine-run.sh)
# Uses build/gcc/romtool unless QL_ROMTOOL says otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
exe=$(realpath "$1")
romtool=${QL_ROMTOOL:-$here/build/gcc/romtool}
fail() { echo "FAIL: $exe: $*"; exit 1; }

# Texts only the simulator, or the choice of it, puts in a program.
for text in QUORRELITE_MACHINE QUORRELITE_WITHOUT_MOVEFILEEX "simulated machine" machine.txt \
    booted.bin shutdown.log part_code quorrelite_sim; do
  if grep -qaF "$text" "$exe"; then fail "holds the simulator's text \"$text\""; fi
done

if objdump -f "$exe" | grep -q 'file format pei-i386'; then
  export QL_WINEARCH=win32 QL_WINEPREFIX=${QL_WINEPREFIX32:-$here/build/wineprefix32}
  cxx=i686-w64-mingw32-g++
else
  export QL_WINEARCH=win64 QL_WINEPREFIX=${QL_WINEPREFIX:-$here/build/wineprefix}
  cxx=x86_64-w64-mingw32-g++
fi
work=$(mktemp -d /tmp/ql-release-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$cxx" -O1 -static -Wall -Wextra -Werror -I "$here/src" "$here/tests/e2e/answer_box.cpp" \
  -o "$work/answer_box.exe"
"$here/scripts/wine-run.sh" --prepare
"$romtool" demo "$work" >/dev/null
cp "$work/machine/flash.bin" "$work/before.bin"
mkdir -p "$work/prog" && cp "$exe" "$work/prog/quorrelite.exe" && cp "$work/newer.rom" "$work/prog/"

(cd "$work/prog" && QUORRELITE_MACHINE="Z:${work//\//\\}\\machine" \
   "$here/scripts/wine-run.sh" quorrelite.exe "/M newer.rom") > "$work/run.out" 2>&1 &
program=$!
if ! (cd "$work" && "$here/scripts/wine-run.sh" answer_box.exe box "Can not get driver interface!!" 60); then
  kill "$program" 2>/dev/null || true
  status=0
  wait "$program" || status=$?
  cat "$work/run.out"
  fail "no \"Can not get driver interface!!\" box (the program ended with $status)"
fi
status=0
wait "$program" || status=$?
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
cmp -s "$work/machine/flash.bin" "$work/before.bin" || fail "the simulated part changed"
[ ! -e "$work/machine/shutdown.log" ] || fail "the simulated machine recorded a restart"
echo "$1: no simulator in it; with QUORRELITE_MACHINE set it found no driver and ended with 1"
