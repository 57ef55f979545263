#!/usr/bin/env bash
# Every test of the project, from a fresh clone: installs what is missing, checks that src/
# folders include only their own layer and those below and that the tests stay within their share
# of the code (0.25 to 0.36), builds the native program with gcc and clang, runs the native tests, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzer for a bounded time, the
# Windows tests under wine64 in a virtual display, the end-to-end run of the real program, the
# line's batch file from docs/manufacturing.md under Wine's cmd.exe, and
# builds the 32-bit release program and checks that it starts on the systems it is for (imports,
# stripped, size) and holds no simulated machine; then, under 32-bit Wine, the Win32 tests of the
# i686 build set to Windows 2000 and the end-to-end run of the i686 release build with the
# simulator (win32-sim) set to Windows 2000 and to Windows 98. Ends with one summary line:
# "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1

jobs=${QL_JOBS:-2}
passed=0
failed=0
problems=()

# Adds a ctest run's counts to the totals.
count_ctest() {  # log-file label
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then
    problems+=("$2: no test summary")
    failed=$((failed + 1))
    return
  fi
  local f total
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - f))
  failed=$((failed + f))
  [ "$f" -eq 0 ] || problems+=("$2: $f failed")
}

# Adds the counts of GoogleTest runs whose output is in the log (the Windows tests run as one
# ctest test per executable, so ctest's own count would hide how many ran).
count_gtest() {  # log-file label
  local ran f
  ran=$(sed -E 's/^[0-9]+: //' "$1" | awk '/^\[==========\] [0-9]+ tests? from .* ran/ {n += $2} END {print n + 0}')
  f=$(sed -E 's/^[0-9]+: //' "$1" | awk '/^\[  FAILED  \] [0-9]+ tests?, listed below/ {n += $3} END {print n + 0}')
  if [ "$ran" -eq 0 ]; then problems+=("$2: no test ran"); failed=$((failed + 1)); return; fi
  passed=$((passed + ran - f)); failed=$((failed + f))
  [ "$f" -eq 0 ] || problems+=("$2: $f failed")
  if [ "$f" -eq 0 ] && ! grep -q '100% tests passed' "$1"; then
    problems+=("$2: a test program failed"); failed=$((failed + 1))
  fi
}

step() { echo; echo "=== $*"; }

build() {  # preset [targets...]
  local preset=$1; shift
  cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 || {
    cat "build/$preset.configure.log"; problems+=("$preset: configure failed"); return 1; }
  cmake --build --preset "$preset" -j "$jobs" "$@" >"build/$preset.build.log" 2>&1 || {
    tail -60 "build/$preset.build.log"; problems+=("$preset: build failed"); return 1; }
}

mkdir -p build

# A check that is one command: one passed or one failed.
check() {  # label command...
  local label=$1; shift
  if "$@" >"build/$label.log" 2>&1; then
    passed=$((passed + 1)); tail -1 "build/$label.log"
  else
    failed=$((failed + 1)); problems+=("$label failed"); tail -40 "build/$label.log"
  fi
}

step "layers: includes only go down"
check layers python3 scripts/check_layers.py

step "test-to-code ratio"
check test-ratio scripts/test_ratio.sh

for preset in gcc clang asan; do
  step "native tests ($preset)"
  if build "$preset"; then
    (cd "build/$preset" && ctest -j "$jobs" --output-on-failure) 2>&1 | tee "build/$preset.test.log" | tail -4
    count_ctest "build/$preset.test.log" "$preset"
  fi
done

step "fuzzing (bounded)"
if [ -x scripts/fuzz.sh ]; then
  if scripts/fuzz.sh "${QL_FUZZ_SECONDS:-60}" >build/fuzz.log 2>&1; then
    passed=$((passed + 1)); tail -3 build/fuzz.log
  else
    failed=$((failed + 1)); problems+=("fuzzing found a fault"); tail -40 build/fuzz.log
  fi
fi

step "Windows build (i686, release, stripped)"
if build win32; then passed=$((passed + 1)); echo "i686 build clean"; else failed=$((failed + 1)); fi

step "i686 program: imports only what Windows 2000 and the 98 family have, stripped, at most 1 MiB"
check imports scripts/check_imports.sh build/win32/quorrelite.exe

step "Windows tests under wine64 (x86_64)"
export QL_WINEPREFIX=${QL_WINEPREFIX:-$PWD/build/wineprefix}
if build win64; then
  (cd build/win64 && ctest -V) >build/win64.test.log 2>&1
  grep -E '\[  (PASSED|FAILED)  \]|tests passed' build/win64.test.log | tail -4
  count_gtest build/win64.test.log win64
fi

if [ -x tests/e2e/run.sh ]; then
  step "end to end: the real program on the simulated machine"
  if tests/e2e/run.sh >build/e2e.log 2>&1; then
    passed=$((passed + 1)); tail -5 build/e2e.log
  else
    failed=$((failed + 1)); problems+=("end-to-end run failed"); tail -40 build/e2e.log
  fi
fi

if [ -x tests/e2e/line_sheet.sh ]; then
  step "the line's script from docs/manufacturing.md under Wine's cmd.exe, on three machines"
  if tests/e2e/line_sheet.sh >build/line-sheet.log 2>&1; then
    passed=$((passed + 1)); grep -E 'took|all passed' build/line-sheet.log
  else
    failed=$((failed + 1)); problems+=("line sheet failed"); tail -40 build/line-sheet.log
  fi
fi

# The i686 program in a 32-bit prefix of its own (build/wineprefix is the 64-bit one).
prefix32=$PWD/build/wineprefix32
wine32() { QL_WINEARCH=win32 QL_WINEPREFIX=$prefix32 QL_WINVER=$1 "${@:2}"; }

step "i686 release program: no simulated machine in it, QUORRELITE_MACHINE ignored (32-bit Wine)"
check release-check env QL_WINEPREFIX32="$prefix32" tests/e2e/release_check.sh build/win32/quorrelite.exe

step "Windows tests under 32-bit Wine set to Windows 2000 (i686)"
if build win32-tests; then
  (cd build/win32-tests && wine32 win2k ctest -V) >build/win32-tests.test.log 2>&1
  grep -E '\[  (PASSED|FAILED)  \]|tests passed' build/win32-tests.test.log | tail -4
  count_gtest build/win32-tests.test.log win32-tests
fi

if build win32-sim; then
  for version in win2k win98; do
    step "end to end: the i686 release build with the simulator under 32-bit Wine set to $version"
    started=$SECONDS
    if wine32 "$version" env QL_EXE="$PWD/build/win32-sim/quorrelite.exe" tests/e2e/run.sh \
        >"build/e2e-$version.log" 2>&1; then
      passed=$((passed + 1)); grep "^e2e:" "build/e2e-$version.log" | tail -1
    else
      failed=$((failed + 1)); problems+=("end-to-end run as $version failed"); tail -40 "build/e2e-$version.log"
    fi
    echo "took $((SECONDS - started)) s"
  done
else
  failed=$((failed + 1))
fi

echo
for p in "${problems[@]}"; do echo "problem: $p"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ ${#problems[@]} -eq 0 ]
