#!/usr/bin/env bash
# Checks the release quorrelite.exe for the 32-bit systems it is for: it imports no function that
# Windows 2000 or the 98 family lacks (listed, with sources, in scripts/missing-on-win2000-98.txt),
# it is stripped, and it is at most 1 MiB. Prints the size and the imports it found.
# Usage: scripts/check_imports.sh [EXE]   (default: build/win32/quorrelite.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${1:-build/win32/quorrelite.exe}
list=scripts/missing-on-win2000-98.txt
limit=$((1024 * 1024))

[ -f "$exe" ] || { echo "check_imports: $exe does not exist"; exit 1; }
# Debian's own objdump reads both Windows formats; the MinGW one only its own.
objdump=objdump
command -v objdump >/dev/null || objdump=i686-w64-mingw32-objdump

# The import tables: "DLL Name: X" opens a DLL; its functions are "hint-rva hint name" lines.
imports=$("$objdump" -p "$exe" | awk '
  /^\tDLL Name: / { dll = $3; next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+  [^ ]+$/ { print dll, $3 }
  /^$/ && dll != "" { dll = "" }')
[ -n "$imports" ] || { echo "check_imports: no import table found in $exe"; exit 1; }

status=0
missing=$(grep -v '^#' "$list" | awk 'NF { print $1 }')
while read -r dll function; do
  if grep -qxF "$function" <<<"$missing"; then
    echo "check_imports: $exe imports $function from $dll, which $(grep -E "^$function " "$list" |
      awk '{ $1 = ""; $2 = ""; print }' | sed -E 's/^ +//; s/ +\[.*//') lack"
    status=1
  fi
done <<<"$imports"

if "$objdump" -f "$exe" | grep -qE 'HAS_SYMS|HAS_DEBUG'; then
  echo "check_imports: $exe is not stripped"
  status=1
fi
size=$(stat -c %s "$exe")
echo "imports: $(awk '{ print $1 }' <<<"$imports" | sort -u | tr '\n' ' ')"
if [ "$size" -gt "$limit" ]; then
  echo "check_imports: $exe is $size bytes, above $limit"
  status=1
fi
[ "$status" -eq 0 ] && echo "$exe: $size bytes (at most $limit), stripped, $(wc -l <<<"$imports")" \
  "imported functions, none missing from Windows 2000 or the 98 family"
exit "$status"
