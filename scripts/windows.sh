#!/bin/sh
# The Windows build and its tests (Debian 12, as root), step by step:
#   packages           scripts/windows-deps.sh: the 64-bit set, then 32-bit Wine once
#   SQLite source      scripts/windows-sqlite.sh: the amalgamation from Debian's source
#   build x64, x86     CMake with the MinGW-w64 toolchains into build-windows/<arch>
#   imported DLLs      scripts/windows-imports.py: every program imports only system DLLs
#   tests x64, x86     ctest of each build under Wine on Xvfb (scripts/wine-session.sh)
#   package            scripts/windows-package.sh: the zip and the MSIs
#   package_test, msi_test   the packages as integrators and plants meet them
# and ends with one summary line. Where the x86 suites cannot run (no 32-bit
# code on this machine, or no 32-bit Wine), it says so there and counts
# nothing for them. Exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build-windows
started=$(date +%s)
jobs=$(nproc)
export LC_ALL=C.UTF-8

step() { printf '\n== %s (at %s s)\n' "$*" "$(($(date +%s) - started))"; }

step "packages"
. scripts/windows-deps.sh
install_windows_packages

step "SQLite source"
amalgamation=$(scripts/windows-sqlite.sh "$out/src")
echo "amalgamation: $amalgamation/sqlite3.c"

launcher=""
if command -v ccache >/dev/null; then
    launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    # Paths relative to the checkout, so that another clone hits the same cache.
    export CCACHE_BASEDIR="$root"
fi
for arch in x64 x86; do
    step "build $arch"
    # Where x86 programs cannot run, the x64 build's writers write the x86
    # build's type library and manifests.
    writers=""
    [ "$arch" = x64 ] || [ -z "$x86_not_run" ] || writers=$out/x64
    case $arch in
        x86) toolchain=cmake/mingw-i686.cmake ;;
        x64) toolchain=cmake/mingw-x86_64.cmake ;;
    esac
    # shellcheck disable=SC2086
    cmake -S . -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-Os -DNDEBUG" \
        -DDUTYGATE_SQLITE_AMALGAMATION="$amalgamation" -DDG_WRITERS_FROM="$writers" $launcher
    cmake --build "$out/$arch" -j"$jobs"
done
version=$(cat "$out/x64/dutygate-version.txt")

step "imported DLLs"
# shellcheck disable=SC2046
python3 scripts/windows-imports.py --system-dlls-only $(find "$out/x86" "$out/x64" -path '*/CMakeFiles' -prune \
    -o \( -name '*.exe' -o -name '*.dll' \) -print | sort)

step "Wine prefix"
. scripts/wine-session.sh
wine_session_start "$out"

passed=0
failed=0
summary=""
# Adds a suite's counts to the totals and the summary line.
count() {  # name passed failed
    passed=$((passed + $2))
    failed=$((failed + $3))
    summary="$summary $1: $2 passed, $3 failed;"
}
# A suite with no result at all counts as one failure.
no_result() {
    echo "$1: no result" >&2
    count "$1" 0 1
}

# The x64 suites leave the other bitness alone where it cannot run.
[ -z "$x86_not_run" ] || export DG_NO_32BIT="$x86_not_run"
for arch in x64 x86; do
    if [ "$arch" = x86 ] && [ -n "$x86_not_run" ]; then
        summary="$summary x86: not run ($x86_not_run);"
        continue
    fi
    step "tests $arch (Wine)"
    junit=$out/$arch/ctest.xml
    rm -f "$junit"
    # The dialog pictures test leaves the four dialogs here as PNG files.
    mkdir -p "$out/$arch/pictures"
    export DG_SCREENSHOT_DIR="$("$wine64" winepath -w "$out/$arch/pictures" 2>/dev/null 9>&-)"
    # Now and then Wine fails to start a test program at all (it ends at once,
    # printing nothing, while another program starts beside it): a failed
    # test runs once more, and ctest's output shows each second run.
    code=0
    ctest --test-dir "$out/$arch" --output-on-failure -j"$jobs" --repeat until-pass:2 --output-junit "$junit" 9>&- ||
        code=$?
    # The counts from ctest's JUnit report, <testsuite ... tests="N" failures="F" ...>;
    # a failed run with no failed test in it counts as one failure.
    suite=$(tr '\n\t' '  ' <"$junit" 2>/dev/null | grep -o '<testsuite [^>]*>' | head -n 1 || true)
    total=$(echo "$suite" | sed -n 's/.* tests="\([0-9]*\)".*/\1/p')
    bad=$(echo "$suite" | sed -n 's/.* failures="\([0-9]*\)".*/\1/p')
    if [ -z "$total" ] || [ -z "$bad" ] || [ "$total" -eq 0 ]; then
        no_result "$arch ctest"
        continue
    fi
    [ "$code" -eq 0 ] || [ "$bad" -gt 0 ] || bad=1
    count "$arch ctest" $((total - bad)) "$bad"
done
wine_session_end

step "package"
scripts/windows-package.sh "$out" || no_result "package"

# The packages as integrators and plants meet them; each ends with its
# counts, 'N passed, N failed'.
for t in package_test msi_test; do
    if [ "$failed" -ne 0 ]; then
        summary="$summary $t: not run (an earlier step failed);"
        continue
    fi
    step "$t"
    log=$out/$t.log
    python3 "tests/msi/$t.py" "$out" "$version" >"$log" 2>&1 || true
    cat "$log"
    line=$(tail -n 1 "$log")
    case $line in
        *" passed, "*" failed") count "$t" "${line%% passed*}" "$(echo "${line#* passed, }" | cut -d' ' -f1)" ;;
        *) no_result "$t" ;;
    esac
done

printf '\n== Windows build and tests took %s s\n' "$(($(date +%s) - started))"
echo "==${summary}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
