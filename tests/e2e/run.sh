#!/usr/bin/env bash
# End to end, headless: the real quorrelite.exe under Wine on simulated machines made by romtool.
#   1. "/M newer.rom" on a slow part (1.5 s an erase): all the while the main window answers the
#      system within 1 s, and once the part changes it refuses a shutdown and a suspend and neither
#      Alt+F4 nor Exit ends it; then the part holds the new image with the machine's DMI strings
#      and UUID carried over, every rewritten field still sums to zero, the log has its lines in
#      order, the restart is recorded and the exit status is 0; the log names the simulated
#      machine's folder; brimlet.ini is made with every option on.
#   2. "/M missing.rom": the load's message is answered from outside, the program stays open in
#      normal mode, its caption names the simulated machine; the option dialog is opened, "Auto
#      verify" unticked and confirmed, and brimlet.ini is replaced by the new bytes; the program is
#      closed like Alt+F4 would, and ends with status 2; the part is untouched and the log holds
#      only the run's header and the simulated machine's folder.
#   3. A factory run whose restart is refused ends by itself.
#   4. A factory flash whose erase fails on the fourth block every time puts the installed BIOS
#      back: the part holds it again, the log says so, no journal is left and the status is 3.
# Uses build/win64/quorrelite.exe and build/gcc/romtool unless QL_EXE and QL_ROMTOOL say otherwise.
# QL_WINEARCH=win32 runs an i686 program in a 32-bit prefix (QL_WINEPREFIX, default
# build/wineprefix32); QL_WINVER sets the Windows version the prefix reports. Set to the 98 family
# (win98, win95, winme) the run takes that family's ways: the command line as typed, no shutdown
# privilege asked before the restart ("Win98 is going to Shutdown!!", on a machine that would
# refuse the privilege), and files replaced without MoveFileExA, which Wine has even then.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
exe=${QL_EXE:-$here/build/win64/quorrelite.exe}
romtool=${QL_ROMTOOL:-$here/build/gcc/romtool}
export QL_WINEARCH=${QL_WINEARCH:-win64}
if [ "$QL_WINEARCH" = win32 ]; then
  export QL_WINEPREFIX=${QL_WINEPREFIX:-$here/build/wineprefix32}
  cxx=i686-w64-mingw32-g++
else
  export QL_WINEPREFIX=${QL_WINEPREFIX:-$here/build/wineprefix}
  cxx=x86_64-w64-mingw32-g++
fi
family=2000
case "${QL_WINVER:-}" in win98 | win95 | winme) family=98 ;; esac
work=$(mktemp -d /tmp/ql-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
echo "e2e: $(basename "$exe") in a ${QL_WINEARCH} prefix, Windows ${QL_WINVER:-as the prefix says} ($family family)"

"$cxx" -O1 -static -Wall -Wextra -Werror -I "$here/src" "$here/tests/e2e/answer_box.cpp" \
  -o "$work/answer_box.exe"
"$here/scripts/wine-run.sh" --prepare

winpath() { echo "Z:${1//\//\\}"; }
run_exe() {  # folder, then the program's arguments
  local dir=$1; shift
  local without=""
  [ "$family" = 98 ] && without=1
  (cd "$dir" && QUORRELITE_MACHINE=$(winpath "$work/machine") QUORRELITE_WITHOUT_MOVEFILEEX=$without \
     "$here/scripts/wine-run.sh" "$dir/quorrelite.exe" "$@")
}
# The manufacturing switch as each family's batch file writes it: the NT family's program strips
# the quotes around its argument, the 98 family's takes the command line as typed.
factory_run() {  # folder, file
  if [ "$family" = 98 ]; then run_exe "$1" /M "$2"; else run_exe "$1" "/M $2"; fi
}
settings() { od -An -tx1 "$work/prog/brimlet.ini" | tr -d ' \n'; }

"$romtool" demo "$work" >/dev/null
mkdir -p "$work/prog"
cp "$exe" "$work/prog/quorrelite.exe"
cp "$work/newer.rom" "$work/prog/"
cp "$work/machine/flash.bin" "$work/before.bin"
goes_down="Win2000 is going to Shutdown!!"
if [ "$family" = 98 ]; then
  # The 98 family asks for no privilege before it restarts: a machine that refuses it still restarts.
  echo "shutdown_privilege = no" >> "$work/machine/machine.txt"
  goes_down="Win98 is going to Shutdown!!"
fi

echo "== manufacturing flash of newer.rom on a slow part, asked what the system asks meanwhile"
status=0
# An erase longer than the 1 s the system waits for an answer: a window that waits on the part
# cannot answer in time.
printf 'erase_ms = 1500\nprogram_ms = 20\n' >> "$work/machine/machine.txt"
factory_run "$work/prog" newer.rom > "$work/run1.out" 2>&1 &
program=$!
guard=0
(cd "$work" && "$here/scripts/wine-run.sh" "$work/answer_box.exe" guard \
   "$(winpath "$work/machine/flash.bin")" 90) || guard=$?
[ "$guard" -eq 0 ] || { kill "$program" 2>/dev/null; fail "the main window did not answer the system as it must during a flash"; }
wait "$program" || status=$?
sed -i '/^erase_ms\|^program_ms/d' "$work/machine/machine.txt"
[ "$status" -eq 0 ] || fail "exit status $status, not 0"
# The header is followed by the simulated machine's folder, as the program was handed it.
simulated="Running on the simulated machine in $(winpath "$work/machine")!!"
printf '\r\n ======   Quorrelite Logfile   ==========\r\n%s\r\nStarting to flash!!\r\nShutdown after 10 seconds!!\r\n%s\r\nFlash finished!!\r\n' \
  "$simulated" "$goes_down" > "$work/log.expected"
cmp -s "$work/prog/Logfile" "$work/log.expected" || { cat -A "$work/prog/Logfile"; fail "log"; }
grep -qx 'restart (ExitWindows flags 0x2)' "$work/machine/shutdown.log" || fail "no restart recorded"
python3 "$here/tests/e2e/check_part.py" "$romtool" "$work/installed.rom" "$work/newer.rom" \
  "$work/machine/flash.bin" || fail "flash part"
[ "$(settings)" = 01010101 ] || fail "brimlet.ini holds $(settings), not every option on"
[ ! -e "$work/prog/brimlet.ini.new" ] || fail "brimlet.ini.new left behind"

echo "== manufacturing run with a file that cannot be loaded; an option changed"
rm -f "$work/prog/Logfile"
cp "$work/machine/flash.bin" "$work/before.bin"
factory_run "$work/prog" missing.rom > "$work/run2.out" 2>&1 &
program=$!
wine_run() { (cd "$work" && "$here/scripts/wine-run.sh" "$@"); }
wine_run "$work/answer_box.exe" box "File open Error!!" 60 || { kill "$program"; fail "no load message"; }
# Unticking "Auto verify" (1063) saves the options: the file is replaced, which the 98 family
# does by deleting brimlet.ini and moving brimlet.ini.new in.
wine_run "$work/answer_box.exe" option 1063 30 > "$work/option.out" ||
  { cat "$work/option.out"; kill "$program"; fail "the option dialog"; }
wine_run "$work/answer_box.exe" close 30 > "$work/closed.out" || { kill "$program"; fail "no main window"; }
grep -qF "main window \"Quorrelite - simulated machine $(winpath "$work/machine")\"" "$work/closed.out" ||
  { cat "$work/closed.out"; fail "the caption does not name the simulated machine"; }
status=0
wait "$program" || status=$?
[ "$status" -eq 2 ] || fail "exit status $status, not 2"
printf '\r\n ======   Quorrelite Logfile   ==========\r\n%s\r\n' "$simulated" > "$work/log.expected"
cmp -s "$work/prog/Logfile" "$work/log.expected" || { cat -A "$work/prog/Logfile"; fail "log 2"; }
cmp -s "$work/machine/flash.bin" "$work/before.bin" || fail "the part changed"
[ "$(wc -l < "$work/machine/shutdown.log")" -eq 1 ] || fail "a second restart"
# Backup off as the factory run left it in memory, verify now off, blank check and the fourth on.
[ "$(settings)" = 00000101 ] || fail "brimlet.ini holds $(settings) after the option dialog, not 00000101"
[ ! -e "$work/prog/brimlet.ini.new" ] || fail "brimlet.ini.new left behind by the option dialog"

echo "== a factory run whose restart is refused ends by itself"
rm -f "$work/prog/Logfile"
printf '\1\1\1\1' > "$work/prog/brimlet.ini"
echo "shutdown_refused = yes" >> "$work/machine/machine.txt"
factory_run "$work/prog" newer.rom > "$work/run3.out" 2>&1 &
program=$!
( sleep 120; kill "$program" 2>/dev/null ) &
guard=$!
status=0
wait "$program" || status=$?
kill "$guard" 2>/dev/null || true
[ "$status" -eq 0 ] || fail "exit status $status, not 0 (a run left waiting is killed after 120 s)"
printf '\r\n ======   Quorrelite Logfile   ==========\r\n%s\r\nStarting to flash!!\r\nShutdown after 10 seconds!!\r\nCan not shutdown automatically!!\r\nFlash finished!!\r\n' \
  "$simulated" > "$work/log.expected"
cmp -s "$work/prog/Logfile" "$work/log.expected" || { cat -A "$work/prog/Logfile"; fail "log 3"; }

echo "== a factory flash whose erase fails on the fourth block every time puts the installed BIOS back"
rm -f "$work/prog/Logfile"
cp "$work/installed.rom" "$work/machine/flash.bin"
rm -f "$work/machine/booted.bin" "$work/machine/state.txt"
sed -i '/^shutdown_refused/d' "$work/machine/machine.txt"
echo "erase_fails_at = 0x30000" >> "$work/machine/machine.txt"
status=0
factory_run "$work/prog" newer.rom > "$work/run4.out" 2>&1 &
program=$!
# A person is not at the line, but the boxes of a failed flash are shown: answer them.
answered() { wine_run "$work/answer_box.exe" "$@" > /dev/null || { kill "$program" 2>/dev/null; fail "$1 $2"; }; }
answered box "Erase failed!!!" 120
answered box $'Flash Failed !! \n Please try again or contact your customer service!!' 60
answered close 60
wait "$program" || status=$?
[ "$status" -eq 3 ] || fail "exit status $status, not 3"
cmp -s "$work/machine/flash.bin" "$work/installed.rom" || fail "the installed BIOS is not back in the part"
grep -q "Installed BIOS put back and verified!!" "$work/prog/Logfile" ||
  { cat -A "$work/prog/Logfile"; fail "the log does not say the installed BIOS was put back"; }
ls "$work/prog"/flashing-* >/dev/null 2>&1 && fail "the journal of the flash was left behind"
echo "e2e: all passed"
