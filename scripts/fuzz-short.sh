#!/bin/sh
# Builds the print-file fuzz target with clang (libFuzzer, ASan, UBSan) in build-fuzz
# and runs it briefly on a seed corpus written by gxwrite. Exits non-zero on a crash.
# FUZZ_TIME (seconds) and FUZZ_RUNS change the length of the run.
set -e
cd "$(dirname "$0")/.."
JOBS=$(nproc)
BUILD=build-fuzz

# gxwrite draws with a Qt GUI application, which wants a private runtime folder.
if [ -z "$XDG_RUNTIME_DIR" ]; then
    export XDG_RUNTIME_DIR="$(pwd)/$BUILD/run"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORLENK_FUZZ=ON >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target fuzz_printfile gxwrite

SEEDS="$BUILD/fuzz-seeds"
CORPUS="$BUILD/fuzz-corpus"
ARTIFACTS="$BUILD/fuzz-artifacts"
rm -rf "$SEEDS"
mkdir -p "$SEEDS" "$CORPUS" "$ARTIFACTS"
GX="$BUILD/tools/gxwrite/gxwrite"
"$GX" --draw A --size 16x16 --slicer --layers 2 --time 3600 --material 1500 "$SEEDS/one-image.gx"
"$GX" --draw A --draw B --size 12x10 --slicer --layers 2 "$SEEDS/two-images.gx"
"$GX" --layers 1 --nozzle none --range "M118 X100 Y100 Z200" "$SEEDS/no-nozzle.gx"
"$GX" --layers 2 --range "M603 MINX-100 MAXX100 MINY-100 MAXY100 Z200 T1" --plain "$SEEDS/range.gcode"
"$GX" --slicer --layers 3 --plain "$SEEDS/slicer.gcode"
"$GX" --draw A --size 8x8 --gcode-offset 0xFFFFFFF0 "$SEEDS/bad-offset.gx"
printf 'M104 S210 T1\nM104 T0 S210\nN7 M140 S60\n;layer_count: 12\n' > "$SEEDS/words.g"

ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
"$BUILD/fuzz/fuzz_printfile" -max_total_time="${FUZZ_TIME:-30}" -runs="${FUZZ_RUNS:-20000}" \
  -max_len=16384 -artifact_prefix="$ARTIFACTS/" -print_final_stats=1 "$CORPUS" "$SEEDS" \
  >"$BUILD/fuzz.log" 2>&1 || { tail -60 "$BUILD/fuzz.log"; echo "fuzz_printfile: FAILED (see $BUILD/fuzz.log)"; exit 1; }
grep -E "^Done|number_of_executed_units" "$BUILD/fuzz.log" || true
