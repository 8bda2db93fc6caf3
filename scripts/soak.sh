#!/bin/sh
# The soak, longer than the suites run it: ROUNDS rounds (default 300), each
# creating both objects, showing the three dialogs and leaving each by its own
# button (the login after a wrong password and its message box), polling
# ShiftClass 2,000 times and releasing the objects, all
# through the public interface. On Linux a Qt host on the offscreen platform;
# then, where ./scripts/windows.sh has built them, the x64 and x86 Windows
# hosts under Wine (x86 where this machine runs 32-bit code). Prints every
# round's heap in use, handles, threads and windows, and a summary line per
# run; exits non-zero when anything grows (heap: by more than 1 KiB a round
# after the first 10 rounds).
#   ./scripts/soak.sh [ROUNDS]   after ./scripts/test.sh (and ./scripts/windows.sh)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
rounds=${1:-300}
export LC_ALL=C.UTF-8
summary=""
status=0

# Runs one soak; keeps its summary line and its verdict.
soak() {  # label command...
    label=$1
    shift
    log=$(mktemp)
    code=0
    "$@" --rounds="$rounds" --warmup=10 | tee "$log" || code=$?
    line=$(grep -E "^(Qt|Win32) dialogs" "$log" || echo "$label: no result")
    rm -f "$log"
    summary="$summary
$line"
    [ "$code" -eq 0 ] || status=1
}

echo "== Linux (Qt, offscreen)"
cmake --build build --target dutygate_soak -j"$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen
soak "Linux" build/tests/soak/dutygate_soak

if [ -f build-windows/x64/dutygate_soak.exe ]; then
    . scripts/windows-deps.sh
    . scripts/wine-session.sh
    mkdir -p build-windows/soak
    wine_session_start "$root/build-windows/soak"
    for arch in x64 x86; do
        case $arch in
            x64) loader=/usr/lib/wine/wine64 ;;
            x86) loader=/usr/lib/wine/wine ;;
        esac
        why=""
        [ "$arch" = x64 ] || ! kernel_refuses_32bit || why="this machine runs no 32-bit code"
        [ -n "$why" ] || [ -f "build-windows/$arch/dutygate_soak.exe" ] ||
            why="no build-windows/$arch: ./scripts/windows.sh builds it"
        [ -n "$why" ] || "$loader" --version >/dev/null 2>&1 9>&- || why="its Wine is not installed or does not start"
        if [ -n "$why" ]; then
            summary="$summary
$arch: not run ($why)"
            continue
        fi
        echo "== Windows $arch (Wine)"
        soak "$arch" "$loader" "build-windows/$arch/dutygate_soak.exe" 9>&-
    done
    wine_session_end
else
    summary="$summary
Windows: not run (no build-windows/x64; ./scripts/windows.sh builds it)"
fi

echo "==$summary"
exit $status
