#!/usr/bin/env bash
# Checks the release quorrelite.exe for the 32-bit systems it is for: every function it imports is
# on the allow-list of its DLL in scripts/imports-allowed.txt (exported there by Windows 2000 and
# the 98 family, with the source of that fact), it is stripped, and it is at most 1 MiB. An import
# outside the list fails until it is looked up and added. Prints the size and the DLLs it found.
# Usage: scripts/check_imports.sh [EXE [LIST]]
#        (default: build/win32/quorrelite.exe scripts/imports-allowed.txt)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${1:-build/win32/quorrelite.exe}
list=${2:-scripts/imports-allowed.txt}
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
# The list itself: every allowed line names its source, and every source is one the header
# defines; a line without one would let an unchecked import through.
sources=$(sed -nE 's/^#   (\[[a-z0-9-]+\]).*/\1/p' "$list" | sort -u)
while read -r dll function rest; do
  if [ -z "$rest" ]; then echo "check_imports: $list: $dll $function has no source"; status=1; fi
  for tag in $(grep -oE '\[[a-z0-9-]+\]' <<<"$rest"); do
    grep -qxF -- "$tag" <<<"$sources" || { echo "check_imports: $list: $function cites $tag, which the list does not define"; status=1; }
  done
done < <(grep -vE '^(#|-|[[:space:]]*$)' "$list")
[ "$status" -eq 0 ] || exit 1

# Names compared without case: the import tables spell KERNEL32.dll and COMCTL32.DLL as they like.
allowed=$(grep -vE '^(#|-|[[:space:]]*$)' "$list" | awk '{ print tolower($1), $2 }')
while read -r dll function; do
  grep -qxF "${dll,,} $function" <<<"$allowed" && continue
  status=1
  known=$(awk -v d="${dll,,}" -v f="$function" '$1 == "-" && tolower($2) == d && $3 == f {
    $1 = $2 = $3 = ""; sub(/^ +/, ""); print }' "$list")
  if [ -n "$known" ]; then
    echo "check_imports: $exe imports $function from $dll, which is missing on $known"
  else
    echo "check_imports: $exe imports $function from $dll, which $list does not allow:" \
      "look up whether $dll exports it on Windows 2000 and on 98, 98 SE and Me, and add it with its source"
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
  "imported functions, each on the allow-list of its DLL"
exit "$status"
