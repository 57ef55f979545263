#!/bin/sh
# Builds the flash benchmark and runs it beside flashrom's dummy programmer, in one run:
#   bench/run.sh
# For 4 MiB and 512 KiB, on a simulated part with modelled timings, our flash of (a) a newer image
# that differs in every block, (b) the image already installed, (c) the installed image with one
# 64 KiB block changed: the part's modelled busy time, wall time, blocks erased, bytes programmed
# and read, instructions (callgrind) and peak memory; the same full flash by the engine as it was
# before it compared blocks first (commit $QL_BENCH_BASE); our backup; and flashrom writing the same
# three workloads into a region of an emulated MX25L6436, with its erases and writes counted from
# its most verbose output. Ends with the targets, each met or not; exit status 1 when one is not.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${QL_BENCH_BUILD:-$ROOT/build/bench}
# The last commit whose engine erased and reprogrammed every treated block.
BASE=${QL_BENCH_BASE:-3c53f44}
WORK=$(mktemp -d /tmp/ql-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
# flashrom's own fixed settle waits in a write with verify: 0.1 s before each operation, 1.0 s
# before the verify.
FLASHROM_WAITS_S=1.1
CHIP_NAME="MX25L6436E/MX25L6445E/MX25L6465E/MX25L6473E/MX25L6473F"
CHANGED_AT=65536  # the block "one" changes, the second 64 KiB
CHANGED_SIZE=65536

need() { command -v "$1" >/dev/null 2>&1; }
if ! need flashrom || ! need valgrind || ! need cmake || ! need ninja || ! need bc; then
  apt-get install -y flashrom valgrind cmake ninja-build bc >/dev/null 2>&1 ||
    { apt-get update >/dev/null && apt-get install -y flashrom valgrind cmake ninja-build bc >/dev/null; }
fi

cmake -S "$ROOT/bench" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$BUILD" >/dev/null
BENCH="$BUILD/flash_bench"
# The engine before: that commit's src/ and sim/ built with this bench.
BASE_BENCH=
if git -C "$ROOT" cat-file -e "$BASE^{commit}" 2>/dev/null; then
  rm -rf "$BUILD-base-src" && mkdir -p "$BUILD-base-src"
  git -C "$ROOT" archive "$BASE" src sim | tar -x -C "$BUILD-base-src"
  cmake -S "$ROOT/bench" -B "$BUILD-base" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQL_ROOT="$BUILD-base-src" >/dev/null
  ninja -C "$BUILD-base" >/dev/null
  BASE_BENCH="$BUILD-base/flash_bench"
else
  echo "commit $BASE is not in this clone: the flash before is not measured" >&2
fi

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
kib() { echo "$1 / 1024" | bc; }
ratio() { echo "$1 / $2" | bc -l; }
FAILED=0
target() {  # target "what" measured limit
  if [ "$(echo "$2 <= $3" | bc -l)" = 1 ]; then verdict=met; else verdict="NOT MET"; FAILED=1; fi
  printf '  %-64s %12.6g <= %-12.6g %s\n' "$1" "$2" "$3" "$verdict"
}

echo "Part timings: erase 300 ms per 64 KiB block, program 25 ms and read 1 ms per 4 KiB (modelled)."
printf '%-30s %9s %9s %7s %9s %9s %13s %13s %9s\n' run busy_ms wall_ms erases prog_kib read_kib \
  instructions in_operation peak_kib
row() {  # row NAME BENCH ARGS...: runs and prints one of ours; sets $line
  name=$1 bench=$2
  shift 2
  line=$("$bench" "$@")
  [ "$(field "$line" ok)" = 1 ] || { echo "$name: wrong result" >&2; exit 1; }
  ir=$(instructions "$bench" "$@")
  irm=$(measured_instructions "$bench" "$@")
  printf '%-30s %9s %9s %7s %9s %9s %13s %13s %9s\n' "$name" "$(field "$line" busy_ms)" \
    "$(field "$line" wall_ms)" "$(field "$line" erases)" "$(kib "$(field "$line" bytes_programmed)")" \
    "$(kib "$(field "$line" bytes_read)")" "$ir" "$irm" "$(field "$line" peak_kib)"
}
# flashrom on the kb KiB region "r" of an emulated 8 MiB part holding $WORK/old, writing $1.
flashrom_write() {
  cp "$WORK/old" "$WORK/chip"
  flashrom -p "dummy:emulate=MX25L6436,image=$WORK/chip" -c "$CHIP_NAME" -l "$WORK/layout" -i r \
    -N -w "$1" "$2"
}
flashrom_row() {  # flashrom_row CASE NEW: wall, then erases and bytes written from -VVV
  t0=$(now)
  flashrom_write "$2" -V >"$WORK/flashrom.log" 2>&1 || { cat "$WORK/flashrom.log" >&2; exit 1; }
  t1=$(now)
  cmp -n $((kb * 1024)) "$WORK/chip" "$2" >/dev/null || { echo "flashrom wrote wrong" >&2; exit 1; }
  flashrom_write "$2" -VVV >"$WORK/flashrom.log" 2>&1
  # SPI commands the dummy programmer logs: 0x20/0x52/0xd8 erase 4/32/64 KiB, 0x60/0xc7 the chip;
  # 0x02 programs the bytes after its 4 of opcode and address.
  counts=$(grep -o 'dummy_spi_send_command: writing [0-9]* bytes: 0x[0-9a-f]*' "$WORK/flashrom.log" |
    awk '$5 == "0x20" { e++; ek += 4 } $5 == "0x52" { e++; ek += 32 } $5 == "0xd8" { e++; ek += 64 }
         $5 == "0x60" || $5 == "0xc7" { e++; ek += 8192 } $5 == "0x02" { w += $3 - 4 }
         END { printf "%d %d %d", e, ek, w }')
  set -- $counts
  fe=$1 fek=$2 fw=$3
  fms=$(echo "($t1 - $t0) * 1000" | bc -l)
  fir=-
  if [ "$case" = full ]; then
    cp "$WORK/old" "$WORK/chip"
    fir=$(instructions flashrom -p "dummy:emulate=MX25L6436,image=$WORK/chip" -c "$CHIP_NAME" \
      -l "$WORK/layout" -i r -N -w "$WORK/new_full")
  fi
  printf '%-30s %9s %9.1f %7s %9s %9s %13s %13s %9s\n' "flashrom $kb""K $case" - "$fms" "$fe" \
    "$(kib "$fw")" - "$fir" - -
  printf '%30s erased %s KiB in %s erases\n' "" "$fek" "$fe"
}

for kb in 4096 512; do
  for case in full installed one; do
    row "quorrelite ${kb}K $case" "$BENCH" flash "$kb" "$WORK" "$case"
    eval "q_${case}_busy=$(field "$line" busy_ms) q_${case}_erases=$(field "$line" erases)"
    eval "q_${case}_prog=$(field "$line" bytes_programmed) q_${case}_ms=$(field "$line" wall_ms)"
    eval "q_${case}_ir=$ir"
  done
  base_busy=
  if [ -n "$BASE_BENCH" ]; then
    row "before ($BASE) ${kb}K full" "$BASE_BENCH" flash "$kb" "$WORK" full
    base_busy=$(field "$line" busy_ms)
  fi
  row "quorrelite ${kb}K backup" "$BENCH" backup "$kb" "$WORK"

  # flashrom: a region of kb KiB at the start of an emulated 8 MiB part, written and verified.
  end=$(printf '%08x' $((kb * 1024 - 1)))
  printf '00000000:%s r\n%08x:007fffff rest\n' "$end" $((kb * 1024)) >"$WORK/layout"
  head -c 8388608 /dev/urandom >"$WORK/old"
  head -c 8388608 /dev/urandom >"$WORK/new_full"
  cp "$WORK/old" "$WORK/new_installed"
  cp "$WORK/old" "$WORK/new_one"
  head -c "$CHANGED_SIZE" /dev/urandom |
    dd of="$WORK/new_one" bs=1 seek="$CHANGED_AT" conv=notrunc status=none
  for case in full installed one; do
    flashrom_row "$case" "$WORK/new_$case"
    eval "f_${case}_ms=$fms f_${case}_erases=$fe f_${case}_erased=$fek f_${case}_written=$fw"
    eval "f_${case}_ir=$fir"
  done

  echo "${kb}K targets:"
  target "(b) installed: busy time / (a)'s" "$(ratio "$q_installed_busy" "$q_full_busy")" 0.03
  target "(c) one block: busy time / (a)'s (limit: changed share + 0.03)" \
    "$(ratio "$q_one_busy" "$q_full_busy")" "$(echo "$CHANGED_SIZE / ($kb * 1024) + 0.03" | bc -l)"
  if [ -n "$base_busy" ]; then
    target "(a) full: busy time / the flash before's" "$(ratio "$q_full_busy" "$base_busy")" 1.05
  fi
  for case in installed one; do
    eval "qe=\$q_${case}_erases qp=\$q_${case}_prog fe=\$f_${case}_erases fek=\$f_${case}_erased fw=\$f_${case}_written"
    target "($case) blocks erased, at most flashrom's erases" "$qe" "$fe"
    target "($case) KiB erased, at most flashrom's" "$((qe * 64))" "$fek"
    target "($case) bytes programmed, at most flashrom's" "$qp" "$fw"
  done
  fnet=$(echo "$f_full_ms - $FLASHROM_WAITS_S * 1000" | bc -l)
  printf '  (a) full: instructions %.4f of flashrom'"'"'s, wall %.4f of its net of fixed waits (%.1f ms)\n' \
    "$(ratio "$q_full_ir" "$f_full_ir")" "$(ratio "$q_full_ms" "$fnet")" "$fnet"
done
exit $FAILED
