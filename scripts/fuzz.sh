#!/bin/sh
# Builds the libFuzzer harnesses with clang (libraries instrumented for
# coverage and AddressSanitizer) and runs each one for a bounded time.
#
#   scripts/fuzz.sh [seconds per harness]      (default 60)
#
# Environment: BUILD_DIR (default ../build-fuzz beside the source tree),
# JOBS (default 2). New inputs the fuzzer finds go to
# $BUILD_DIR/fuzz/found/<harness>/; the committed seed corpus under
# fuzz/corpus/ is only read. A crash leaves its input in the build folder
# and makes the script fail.
set -eu

SECONDS_EACH=${1:-60}
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$(dirname "$SRC")/build-fuzz}
JOBS=${JOBS:-2}
. "$SRC/scripts/deps.sh"
DUTYGATE_PACKAGES="$DUTYGATE_PACKAGES clang-14 libclang-rt-14-dev"
install_deps
HARNESSES="${HARNESSES:-fuzz_connection_text fuzz_save_checks fuzz_settings_load fuzz_invoke fuzz_jet_reader}"

SAN="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"
CC=clang-14 CXX=clang++-14 cmake -S "$SRC" -B "$BUILD_DIR" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null
cmake --build "$BUILD_DIR" -j"$JOBS" --target $HARNESSES

export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 TZ=UTC
status=0
for h in $HARNESSES; do
    found="$BUILD_DIR/fuzz/found/$h"
    mkdir -p "$found"
    echo "== $h: ${SECONDS_EACH}s"
    if ! (cd "$BUILD_DIR/fuzz" && "./$h" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
            -artifact_prefix="$BUILD_DIR/fuzz/$h-" "$found" "$SRC/fuzz/corpus/$h"); then
        echo "== $h FAILED: see $BUILD_DIR/fuzz/$h-*" >&2
        status=1
    fi
done
exit $status
