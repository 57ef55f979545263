#!/usr/bin/env bash
# The line's script, proven: the batch file of docs/manufacturing.md ("The line's script"),
# taken from there as it stands, run by Wine's cmd.exe from one shared program folder on three
# simulated machines:
#   same     runs the image already (its own DMI strings): "/C" exits 0 and nothing is flashed;
#   good     runs the installed BIOS: "/C" exits 7, "/M" flashes, the restart is recorded, 0;
#   failing  an erase that always fails: "/C" 7, "/M" puts the installed BIOS back, 3 (its boxes
#            are answered and the program closed from outside, as a person at the line would).
# Then the verdicts in line.txt, the parts, and each machine's records, read by Python's json.
# Uses build/win64/quorrelite.exe and build/gcc/romtool unless QL_EXE and QL_ROMTOOL say otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
exe=${QL_EXE:-$here/build/win64/quorrelite.exe}
romtool=${QL_ROMTOOL:-$here/build/gcc/romtool}
export QL_WINEPREFIX=${QL_WINEPREFIX:-$here/build/wineprefix}
work=$(mktemp -d /tmp/ql-line-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }

x86_64-w64-mingw32-g++ -O1 -static -Wall -Wextra -Werror -I "$here/src" \
  "$here/tests/e2e/answer_box.cpp" -o "$work/answer_box.exe"
"$romtool" demo "$work" >/dev/null
# Strings as long as the image's, so that carrying them over asks nothing.
"$romtool" make "$work/failing.rom" --serial QS0512-77831 --manufacturer "Quorrel Systems" \
  --product "Brimlet 845" --version "Rev A1" --system-serial LINE-00000003 \
  --chassis-serial CH845-0009876 >/dev/null
"$romtool" machine "$work/newer.rom" "$work/same" >/dev/null
"$romtool" machine "$work/installed.rom" "$work/good" >/dev/null
"$romtool" machine "$work/failing.rom" "$work/failing" erase_fails_at=0x71000 >/dev/null
mkdir -p "$work/prog"
cp "$exe" "$work/prog/quorrelite.exe"
cp "$work/newer.rom" "$work/prog/"
# The batch file, as the line sheet gives it, with the line ends cmd.exe expects.
awk '/^## The line.s script/ {in_section = 1} in_section && /^```bat$/ {copy = 1; next}
     copy && /^```$/ {exit} copy' "$here/docs/manufacturing.md" | sed 's/$/\r/' > "$work/prog/line.bat"
[ -s "$work/prog/line.bat" ] || fail "no batch file in docs/manufacturing.md"
for m in same good failing; do cp "$work/$m/flash.bin" "$work/$m.before"; done

line() {  # machine
  local start=$SECONDS
  (cd "$work/prog" && QUORRELITE_MACHINE=$(winpath "$work/$1") "$here/scripts/wine-run.sh" \
     cmd /c line.bat newer.rom) > "$work/$1.out" 2>&1
  echo "$1: the line's script took $((SECONDS - start)) s"
}
verdict() { tail -1 "$work/prog/line.txt" | tr -d '\r'; }

line same
[ "$(verdict)" = "check status 0 for newer.rom: already held, nothing to do" ] || fail "same: $(verdict)"
cmp -s "$work/same/flash.bin" "$work/same.before" || fail "same: the part changed"

line good
[ "$(verdict)" = "flash status 0 for newer.rom: flashed and verified" ] || fail "good: $(verdict)"
python3 "$here/tests/e2e/check_part.py" "$romtool" "$work/installed.rom" "$work/newer.rom" \
  "$work/good/flash.bin" || fail "good: flash part"
grep -qx 'restart (ExitWindows flags 0x2)' "$work/good/shutdown.log" || fail "good: no restart"

line failing &
script=$!
wine_run() { (cd "$work" && "$here/scripts/wine-run.sh" "$work/answer_box.exe" "$@") >/dev/null; }
wine_run box "Erase failed!!!" 120 || { kill "$script"; fail "failing: no erase box"; }
wine_run box "Flash Failed !! *" 60 || { kill "$script"; fail "failing: no failure box"; }
wine_run close 30 || { kill "$script"; fail "failing: no main window to close"; }
wait "$script"
[ "$(verdict)" = "flash status 3 for newer.rom: failed, the installed BIOS is in place: flash again" ] ||
  fail "failing: $(verdict)"
cmp -s "$work/failing/flash.bin" "$work/failing.before" || fail "failing: the installed BIOS is not back"
[ "$(wc -l < "$work/prog/line.txt")" -eq 3 ] || fail "line.txt: $(cat "$work/prog/line.txt")"

# Each machine's own file: the check, and the flash when there was one.
python3 - "$work/prog" <<'PY' || fail "records"
import json, os, sys
folder = sys.argv[1]
expected = {"Serial-000000": [("checked", 0)],
            "BR845-0001234": [("checked", 7), ("flashed", 0)],
            "LINE-00000003": [("checked", 7), ("failed_put_back", 3)]}
records = os.path.join(folder, "records")
files = {name[:-len(".jsonl")]: os.path.join(records, name) for name in os.listdir(records)}
assert sorted(files) == sorted(expected), files
for machine, runs in expected.items():
    records = [json.loads(line) for line in open(files[machine], encoding="ascii")]
    assert [(r["outcome"], r["exit_status"]) for r in records] == runs, (machine, records)
    for r in records:
        assert r["machine"]["system_serial"] == machine and r["simulated"] is True, r
        assert r["image"]["file"] == "newer.rom" and len(r["image"]["sha256"]) == 64, r
    check = records[0]["blocks"]
    assert check["erased"] == 0 and check["programmed"] == 0, check
    assert (len(check["differing"]) > 0) == (runs[0][1] == 7), check
    if len(records) > 1:
        assert records[1]["blocks"]["erased"] >= len(check["differing"]), records[1]
print(json.dumps(json.loads(open(files["BR845-0001234"]).readlines()[1])))
PY
echo "line sheet: all passed"
