#!/bin/sh
# Builds the flash benchmark and runs it beside flashrom's dummy programmer, in one run:
#   bench/run.sh
# Prints, per size, wall time, instructions (callgrind), peak memory, and driver requests and BIOS
# calls per MiB of our flash and backup, then flashrom writing and verifying the same number of
# bytes into a region of an emulated MX25L6436, and the ratios the target is judged by.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build/bench"
WORK=$(mktemp -d /tmp/ql-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
# flashrom's own fixed settle waits in a write with verify: 0.1 s before each operation, 1.0 s
# before the verify.
FLASHROM_WAITS_S=1.1
CHIP_NAME="MX25L6436E/MX25L6445E/MX25L6465E/MX25L6473E/MX25L6473F"

need() { command -v "$1" >/dev/null 2>&1; }
if ! need flashrom || ! need valgrind || ! need cmake || ! need ninja; then
  apt-get install -y flashrom valgrind cmake ninja-build >/dev/null 2>&1 ||
    { apt-get update >/dev/null && apt-get install -y flashrom valgrind cmake ninja-build >/dev/null; }
fi

cmake -S "$ROOT/bench" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$BUILD" >/dev/null
BENCH="$BUILD/flash_bench"

field() { echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
instructions() {  # the total of a callgrind run: "instructions command..."
  out="$WORK/cg.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>&1
  sed -n 's/^totals: //p' "$out"
}
measured_instructions() {  # only inside the flash or backup itself
  out="$WORK/cgm.out"
  valgrind --tool=callgrind --callgrind-out-file="$out" \
    --toggle-collect='ql::bench::*MeasuredWork*' "$@" >/dev/null 2>&1
  sed -n 's/^totals: //p' "$out"
}
now() { date +%s.%N; }

printf '%-26s %10s %14s %14s %10s %12s %12s\n' run wall_ms instructions in_operation peak_kib \
  requests/MiB calls/MiB
for kb in 4096 512; do
  for op in flash backup; do
    line=$("$BENCH" "$op" "$kb" "$WORK")
    [ "$(field "$line" ok)" = 1 ] || { echo "quorrelite $op $kb: wrong result" >&2; exit 1; }
    ir=$(instructions "$BENCH" "$op" "$kb" "$WORK")
    irm=$(measured_instructions "$BENCH" "$op" "$kb" "$WORK")
    printf '%-26s %10s %14s %14s %10s %12s %12s\n' "quorrelite $op ${kb}K" \
      "$(field "$line" wall_ms)" "$ir" "$irm" "$(field "$line" peak_kib)" \
      "$(field "$line" requests_per_mib)" "$(field "$line" bios_calls_per_mib)"
    eval "q_${op}_${kb}_ms=$(field "$line" wall_ms) q_${op}_${kb}_ir=$ir"
  done

  # flashrom: a region of kb KiB at the start of an emulated 8 MiB part, written and verified.
  end=$(printf '%08x' $((kb * 1024 - 1)))
  printf '00000000:%s r\n%08x:007fffff rest\n' "$end" $((kb * 1024)) >"$WORK/layout"
  head -c 8388608 /dev/urandom >"$WORK/old"
  head -c 8388608 /dev/urandom >"$WORK/new"
  run_flashrom() {
    cp "$WORK/old" "$WORK/chip"
    "$@" flashrom -p "dummy:emulate=MX25L6436,image=$WORK/chip" -c "$CHIP_NAME" \
      -l "$WORK/layout" -i r -N -w "$WORK/new"
  }
  t0=$(now)
  run_flashrom env >"$WORK/flashrom.log" 2>&1 || { cat "$WORK/flashrom.log" >&2; exit 1; }
  t1=$(now)
  cmp -n $((kb * 1024)) "$WORK/chip" "$WORK/new" >/dev/null || { echo "flashrom wrote wrong" >&2; exit 1; }
  cp "$WORK/old" "$WORK/chip"
  fir=$(instructions flashrom -p "dummy:emulate=MX25L6436,image=$WORK/chip" -c "$CHIP_NAME" \
    -l "$WORK/layout" -i r -N -w "$WORK/new")
  fms=$(echo "($t1 - $t0) * 1000" | bc -l)
  fnet=$(echo "$fms - $FLASHROM_WAITS_S * 1000" | bc -l)
  printf '%-26s %10.1f %14s %14s %10s %12s %12s\n' "flashrom write ${kb}K" "$fms" "$fir" - - - -
  eval "f_${kb}_ms=$fms f_${kb}_net=$fnet f_${kb}_ir=$fir"
done

echo
for kb in 4096 512; do
  eval "qir=\$q_flash_${kb}_ir qms=\$q_flash_${kb}_ms fir=\$f_${kb}_ir fnet=\$f_${kb}_net"
  printf '%sK flash: instructions %.4f of flashrom'"'"'s, wall %.4f of its net of fixed waits (%.1f ms)\n' \
    "$kb" "$(echo "$qir / $fir" | bc -l)" "$(echo "$qms / $fnet" | bc -l)" "$fnet"
done
