#!/usr/bin/env bash
# Builds the libFuzzer targets, makes a seed corpus of ROM images with romtool, runs every seed
# once, then fuzzes the ROM image loader for a bounded time. Exits non-zero on any finding.
#   scripts/fuzz.sh [seconds]      (default 60)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$root/build/fuzz"
cd "$root"

cmake --preset fuzz >/dev/null
# romtool is a host tool; build it in the same tree so the corpus needs nothing else.
cmake --build "$build" -j2 --target fuzz_rom_image romtool

seeds="$build/seeds"
work="$build/corpus"
artifacts="$build/artifacts"
rm -rf "$seeds" "$artifacts"
mkdir -p "$seeds" "$work" "$artifacts"

make_seed() {
  local name="$1"
  shift
  "$build/romtool" make "$seeds/$name.rom" --size-kb 64 "$@" >/dev/null
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
"$build/romtool" make "$seeds/big.rom" --size-kb 128 >/dev/null
# A few cut-down and hostile files: empty, a bare signature, a block cut off by the end.
: >"$seeds/empty.rom"
printf 'BCPSYS' >"$seeds/bare-signature.rom"
head -c $((0xA040 + 100)) "$seeds/default.rom" >"$seeds/cut-block.rom"

# Every seed on its own first: a finding here names the seed.
"$build/fuzz_rom_image" "$seeds"/*.rom >"$build/seeds.log" 2>&1 || {
  cat "$build/seeds.log"
  echo "fuzz.sh: a seed fails" >&2
  exit 1
}

cp -n "$seeds"/*.rom "$work"/ 2>/dev/null || true
"$build/fuzz_rom_image" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=140000 -artifact_prefix="$artifacts/" -print_final_stats=1 2>&1 |
  tee "$build/fuzz.log" | grep -E '^(#[0-9]+ +DONE|==|stat::number_of_executed_units|SUMMARY)' || true
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ] || ls "$artifacts" | grep -q .; then
  tail -50 "$build/fuzz.log"
  echo "fuzz.sh: finding, see $artifacts" >&2
  exit 1
fi
echo "fuzz.sh: clean"
