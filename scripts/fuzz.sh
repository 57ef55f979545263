#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz/fuzz_*.cpp), runs every seed of every target once, then
# fuzzes each target for its share of the time. Exits non-zero on any finding.
#   scripts/fuzz.sh [seconds] [workers]   (default 60 seconds in all, one worker)
# The seeds: ROM images made with romtool for fuzz_rom_image, the files of
# tests/fuzz/corpus/<target>/ for the others (a finding fixed goes there as a seed).
# QL_FUZZ_TARGETS picks targets (blank-separated names), QL_FUZZ_RUNS caps the executions of each,
# QL_FUZZ_BUILD names the build folder (default build/fuzz). A target's corpus grows in
# <build>/corpus/<target>, its log is <build>/<target>.log and a finding lands in <build>/artifacts.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
workers="${2:-1}"
build="${QL_FUZZ_BUILD:-$root/build/fuzz}"
cd "$root"

targets=()
for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
if [ -n "${QL_FUZZ_TARGETS:-}" ]; then read -r -a targets <<<"$QL_FUZZ_TARGETS"; fi
cmake --preset fuzz -B "$build" >/dev/null
# romtool is a host tool; build it in the same tree so the corpus needs nothing else.
cmake --build "$build" -j2 --target "${targets[@]}" romtool

seeds="$build/seeds"
artifacts="$build/artifacts"
rm -rf "$seeds" "$artifacts"
mkdir -p "$seeds/fuzz_rom_image" "$artifacts"
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target"
  if [ -d "tests/fuzz/corpus/$target" ]; then cp -r "tests/fuzz/corpus/$target" "$seeds/"; fi
done

make_seed() {
  local name="$1"
  shift
  "$build/romtool" make "$seeds/fuzz_rom_image/$name.rom" --size-kb 64 "$@" >/dev/null
}
make_seed default
make_seed older --date 12/31/04
make_seed same-day --date 01/10/05 --time 09:30
make_seed other-platform --platform OTHER
make_seed no-dmi --no-dmi
make_seed dmi-2-10 --dmi-version 2.10
make_seed uuid-settable --uuid settable --serial "" --product "P"
make_seed long-strings --manufacturer "$(printf 'M%.0s' $(seq 1 77))"
make_seed other-layout --layout 0x0200 --seed 7
"$build/romtool" make "$seeds/fuzz_rom_image/big.rom" --size-kb 128 >/dev/null
# A few cut-down and hostile files: empty, a bare signature, a block cut off by the end.
: >"$seeds/fuzz_rom_image/empty.rom"
printf 'BCPSYS' >"$seeds/fuzz_rom_image/bare-signature.rom"
head -c $((0xA040 + 100)) "$seeds/fuzz_rom_image/default.rom" >"$seeds/fuzz_rom_image/cut-block.rom"

share=$((seconds / ${#targets[@]} > 0 ? seconds / ${#targets[@]} : 1))
for target in "${targets[@]}"; do
  # Every seed on its own first: a finding here names the seed.
  if ! "$build/$target" "$seeds/$target"/* >"$build/$target.seeds.log" 2>&1; then
    cat "$build/$target.seeds.log"
    echo "fuzz.sh: a seed of $target fails" >&2
    exit 1
  fi
  cp -n "$seeds/$target"/* "$build/corpus/$target"/ 2>/dev/null || true
  options=(-max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/"
    -print_final_stats=1)
  # ROM files are 64 KiB and more; the other inputs are small.
  if [ "$target" = fuzz_rom_image ]; then options+=(-max_len=140000); fi
  if [ -f "tests/fuzz/$target.dict" ]; then options+=(-dict="tests/fuzz/$target.dict"); fi
  if [ -n "${QL_FUZZ_RUNS:-}" ]; then options+=(-runs="$QL_FUZZ_RUNS"); fi
  if [ "$workers" -gt 1 ]; then options+=(-fork="$workers"); fi
  start=$SECONDS
  status=0
  "$build/$target" "$build/corpus/$target" "${options[@]}" >"$build/$target.log" 2>&1 || status=$?
  runs=$(grep -hoE '^#[0-9]+' "$build/$target.log" | tail -1 | tr -d '#')
  echo "$target: ${runs:-0} executions in $((SECONDS - start)) s, status $status"
  if [ "$status" -ne 0 ] || ls "$artifacts" | grep -q .; then
    tail -50 "$build/$target.log"
    echo "fuzz.sh: finding in $target, see $artifacts" >&2
    exit 1
  fi
done
echo "fuzz.sh: clean"
