#!/bin/sh
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it. Run after ./scripts/test.sh (which installs the packages).
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_deps
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDUTYGATE_SANITIZE=ON
cmake --build build-asan -j"$(nproc)"
fetch_node_adodb build-asan
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$(pwd)/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -LE no_sanitize
