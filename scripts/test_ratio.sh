#!/usr/bin/env bash
# How much test there is for the code: non-blank lines of tests/ (C++ and Python) and of the test
# doubles in src/platform/testing/, against non-blank lines of the product (src/, doubles left
# out), the simulated machine (sim/) and the tools (tools/). Fails outside the band: below the
# floor the faults a change can make go untested, above the ceiling tests restate the code.
#   scripts/test_ratio.sh [floor ceiling]      (default 0.25 0.36)
set -euo pipefail
cd "$(dirname "$0")/.."
floor=${1:-0.25}
ceiling=${2:-0.36}

nonblank() {  # find arguments...
  find "$@" -type f -print0 | xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true
}

tests=$(nonblank tests src/platform/testing \( -path 'src/platform/testing/*' -o \
  -name '*.cpp' -o -name '*.h' -o -name '*.py' \))
code=$(nonblank src sim tools -not -path 'src/platform/testing/*' \( \
  \( -path 'tools/*' -name '*.py' \) -o -name '*.cpp' -o -name '*.h' \))

if [ "$code" -eq 0 ]; then
  echo "test_ratio.sh: no code lines found" >&2
  exit 1
fi
ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.3f", t / c }')
echo "test lines $tests, code lines $code, ratio $ratio (band $floor to $ceiling)"
awk -v t="$tests" -v c="$code" -v f="$floor" -v m="$ceiling" 'BEGIN { exit !(t / c >= f && t / c <= m) }'
