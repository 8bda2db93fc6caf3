#!/bin/sh
# The Windows build: installs what is missing (Debian 12, as root), builds
# SQLite from Debian's source package, cross-builds x86 and x64 with MinGW-w64
# into build-windows/x86 and build-windows/x64, checks that every binary
# imports only system DLLs, and runs the Windows test suites of both under
# Wine on Xvfb, in a throw-away Wine prefix. Exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build-windows
started=$(date +%s)
jobs=$(nproc)
export LC_ALL=C.UTF-8

step() { printf '\n== %s (at %s s)\n' "$*" "$(($(date +%s) - started))"; }

# Refreshes the package indexes. A mirror caught mid-sync fails one index
# while the rest arrive; apt then keeps the old copy of that one, and the
# install that follows tells whether what is there is enough.
apt_update() {
    apt-get -o DPkg::Lock::Timeout=600 update -qq || apt-get -o DPkg::Lock::Timeout=600 update -qq ||
        echo "apt-get update failed; going on with the package indexes this machine has" >&2
}

# Another apt or dpkg run may hold the lock for a while: wait for it.
apt_get() {
    tries=0
    until apt-get -o DPkg::Lock::Timeout=600 "$@"; do
        tries=$((tries + 1))
        [ "$tries" -lt 30 ] || return 1
        echo "apt-get $* failed; retrying in 20 s" >&2
        sleep 20
    done
}

# ---- packages ----
WINDOWS_PACKAGES="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools \
binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
wine wine64 wine32:i386 xvfb xauth fonts-wqy-microhei fonts-wine zip \
gcc libc6-dev make tcl dpkg-dev xz-utils googletest cmake ccache python3 \
wixl msitools osslsigncode openssl"
# widl's IDL files (oaidl.idl and the rest) for the header Dutygate.h.
WINDOWS_PACKAGES="$WINDOWS_PACKAGES libwine-dev"

step "packages"
export DEBIAN_FRONTEND=noninteractive
updated=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt_update
    updated=1
fi
missing=""
for p in $WINDOWS_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    [ -n "$updated" ] || apt_update
    apt_get install -y -qq --no-install-recommends $missing
else
    echo "all installed"
fi

# ---- SQLite from Debian's source package ----
# deb-src entries for the suites this machine already uses, in a sources file
# of our own: the deb822 stanzas of debian.sources, or the one-line "deb"
# entries of sources.list, turned into deb-src.
step "SQLite source"
srclist=/etc/apt/sources.list.d/dutygate-src.sources
srcline=/etc/apt/sources.list.d/dutygate-src.list
new_sources=$(mktemp)
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$new_sources"
    target=$srclist
else
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' >"$new_sources" || true
    target=$srcline
fi
if [ ! -s "$new_sources" ]; then
    . /etc/os-release
    echo "deb-src http://deb.debian.org/debian $VERSION_CODENAME main" >"$new_sources"
    target=$srcline
fi
if ! cmp -s "$new_sources" "$target"; then
    rm -f "$srclist" "$srcline"
    cp "$new_sources" "$target"
    chmod 644 "$target"
    apt_update
fi
rm -f "$new_sources"

mkdir -p "$out/src"
sqlite_src=$(find "$out/src" -maxdepth 1 -type d -name 'sqlite3-*' | sort | tail -n 1)
if [ -z "$sqlite_src" ] || [ ! -x "$sqlite_src/configure" ]; then
    (cd "$out/src" && apt_get -o APT::Sandbox::User=root source -qq sqlite3)
    sqlite_src=$(find "$out/src" -maxdepth 1 -type d -name 'sqlite3-*' | sort | tail -n 1)
fi
echo "source: $sqlite_src"
amalgamation=$out/src/amalgamation
if [ ! -s "$amalgamation/sqlite3.c" ] || [ ! -s "$amalgamation/sqlite3.h" ]; then
    rm -rf "$amalgamation"
    mkdir -p "$amalgamation"
    (cd "$amalgamation" && "$sqlite_src/configure" --disable-tcl >configure.log 2>&1 \
        && make -j"$jobs" sqlite3.c >make.log 2>&1) || {
        echo "building the SQLite amalgamation failed; see $amalgamation/*.log" >&2
        exit 1
    }
fi
echo "amalgamation: $amalgamation/sqlite3.c"

# ---- cross-build ----
launcher=""
if command -v ccache >/dev/null; then
    launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    # Paths relative to the checkout, so that another clone hits the same cache.
    export CCACHE_BASEDIR="$root"
fi
# Some machines run no 32-bit code at all (their kernel or hypervisor lacks
# the compatibility mode). There the x64 build's writers also write the x86
# build's type library and manifest, and the x86 tests cannot run.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    runs32=1
    writers=""
else
    runs32=""
    writers=$out/x64
    echo "this machine runs no 32-bit code: the x86 build is made, its tests cannot run here"
fi
for arch in x64 x86; do
    case $arch in
        x86) toolchain=cmake/mingw-i686.cmake; from=$writers ;;
        x64) toolchain=cmake/mingw-x86_64.cmake; from="" ;;
    esac
    step "build $arch"
    # shellcheck disable=SC2086
    cmake -S . -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-Os -DNDEBUG" \
        -DDUTYGATE_SQLITE_AMALGAMATION="$amalgamation" -DDG_WRITERS_FROM="$from" $launcher
    cmake --build "$out/$arch" -j"$jobs"
done

# ---- imports: system DLLs only ----
step "imported DLLs"
system_dlls=" kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll ole32.dll oleaut32.dll \
advapi32.dll shell32.dll shlwapi.dll msvcrt.dll uxtheme.dll windowscodecs.dll version.dll \
rpcrt4.dll imm32.dll winmm.dll ws2_32.dll crypt32.dll secur32.dll bcrypt.dll userenv.dll "
bad_imports=0
checked=0
for arch in x86 x64; do
    case $arch in
        x86) objdump=i686-w64-mingw32-objdump ;;
        x64) objdump=x86_64-w64-mingw32-objdump ;;
    esac
    for bin in $(find "$out/$arch" -path '*/CMakeFiles' -prune -o \( -name '*.exe' -o -name '*.dll' \) -print | sort); do
        checked=$((checked + 1))
        for dll in $("$objdump" -p "$bin" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
            case $system_dlls in
                *" $dll "*) ;;
                *) echo "$bin imports $dll, which is not a system DLL" >&2; bad_imports=1 ;;
            esac
        done
    done
done
[ "$bad_imports" -eq 0 ] || exit 1
echo "$checked binaries, each importing only system DLLs"

# ---- Wine on Xvfb ----
step "Wine prefix"
export WINEPREFIX="$out/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
wine64=/usr/lib/wine/wine64
xvfb_pid=""
keeper_pid=""
cleanup() {
    [ -z "$keeper_pid" ] || kill "$keeper_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -f "$out/wine-keeper.fifo"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

displayfile=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$displayfile" ] && break
    sleep 0.1
done
[ -s "$displayfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$displayfile")"
rm -f "$displayfile"
echo "Xvfb on $DISPLAY"

rm -rf "$WINEPREFIX"
# No Mono or Gecko: their install prompt would wait for an answer.
WINEDLLOVERRIDES="mscoree,mshtml=" "$wine64" wineboot -i >"$out/wineboot.log" 2>&1 || {
    echo "creating the Wine prefix failed; see $out/wineboot.log" >&2
    exit 1
}
wineserver -w

# Chinese text in Win32 windows: a CJK font in the prefix, linked behind the
# dialog fonts and standing in for 宋体/SimSun. Both registry views, so that
# 32- and 64-bit programs see it.
cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
# Wine's own Marlett draws the caption's close box; Tahoma is its dialog font, and
# its bold face (the captions) needs a link of its own.
cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fontlink='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for view in /reg:64 /reg:32; do
    for face in "Tahoma" "Tahoma Bold" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
        "$wine64" reg add "$fontlink" /v "$face" /t REG_MULTI_SZ \
            /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f $view >/dev/null
    done
    for face in "宋体" "SimSun"; do
        "$wine64" reg add "$substitutes" /v "$face" /t REG_SZ /d 'WenQuanYi Micro Hei' /f $view >/dev/null
    done
done
# Windows that Wine draws itself: with no window manager on Xvfb, a managed
# window waits seconds for a manager to withdraw it each time it hides.
"$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
# A crashing test prints its backtrace and ends instead of waiting behind
# Wine's crash dialog.
"$wine64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
wineserver -w

# Wine's own processes (services, the desktop, device drivers) inherit the
# standard error of the program that starts them and live until the last
# program ends: ctest would wait for them on that test's output pipe. So a
# keeper (cmd.exe reading a FIFO we hold open on descriptor 9) keeps them
# running until the tests are done, and a first program with its output in
# /dev/null starts them. Nothing else may inherit descriptor 9, or the keeper
# would never see the end of its input.
rm -f "$out/wine-keeper.fifo"
mkfifo "$out/wine-keeper.fifo"
"$wine64" cmd.exe <"$out/wine-keeper.fifo" >"$out/wine-keeper.log" 2>&1 &
keeper_pid=$!
exec 9>"$out/wine-keeper.fifo"
"$wine64" cmd.exe /c exit >/dev/null 2>&1 9>&-

# ---- tests ----
summary=""
passed=0
failed=0
status=0
# The x64 suites leave the other bitness alone where it cannot run.
[ -n "$runs32" ] || export DG_NO_32BIT=1
not_run=""
for arch in x64 x86; do
    if [ "$arch" = x86 ] && [ -z "$runs32" ]; then
        not_run=" x86: not run (this machine runs no 32-bit code);"
        continue
    fi
    step "tests $arch (Wine)"
    log="$out/$arch/ctest.log"
    # The dialog pictures test leaves the four dialogs here as PNG files.
    mkdir -p "$out/$arch/pictures"
    export DG_SCREENSHOT_DIR="$("$wine64" winepath -w "$out/$arch/pictures" 2>/dev/null 9>&-)"
    if ctest --test-dir "$out/$arch" --output-on-failure -j"$jobs" 2>&1 9>&- | tee "$log"; then :; fi
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -z "$line" ]; then
        echo "$arch: no test summary (did ctest find any tests?)" >&2
        status=1
        continue
    fi
    total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    bad=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
    [ "$total" -gt 0 ] || status=1
    [ "$bad" -eq 0 ] || status=1
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    summary="$summary $arch: $line;"
done
exec 9>&-
for _ in $(seq 1 300); do
    kill -0 "$keeper_pid" 2>/dev/null || break
    sleep 0.1
done
kill "$keeper_pid" 2>/dev/null || true
keeper_pid=""
timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true

step "package"
"$root/scripts/windows-package.sh" "$out" || status=1

# ---- the C++ sample, built from the package as its user builds it ----
# The zip extracted to a folder of its own; per bitness the sample compiled
# with the commands of samples/cpp/build.txt and run under Wine against the
# zip's DLL, registered by regsvr32: once to make the database, then with the
# one shift's change time at the current minute, so that eventSetClass must
# reach the sink. Wine's output goes to files: nothing of Wine's keeps a pipe
# of ours open now that the keeper is gone.
step "C++ sample from the package (Wine)"
version=$(sed -n 's/^project(Dutygate VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
kit=$out/sample-kit
rm -rf "$kit"
mkdir -p "$kit"
sample_result=""
if [ -f "$out/Dutygate-$version-windows.zip" ]; then
    (cd "$kit" && cmake -E tar xf "$out/Dutygate-$version-windows.zip")
fi
sample_run() {  # arch compiler loader; the run's files in $kit/run-$arch
    run=$kit/run-$1
    dll="Z:$(echo "$kit/$1/Dutygate.dll" | tr / '\\')"
    mkdir -p "$run"
    [ -f "$kit/samples/cpp/sample.cpp" ] || { echo "no package to build the sample from" >&2; return 1; }
    (cd "$kit" && "$2" -O2 -Wall -Wextra -Werror -I include samples/cpp/sample.cpp -o "$run/sample.exe" \
        -static -lole32 -loleaut32 -luuid) || return 1
    "$3" regsvr32 /s "$dll" >"$run/wine.log" 2>&1 || { echo "$1: regsvr32 failed" >&2; return 1; }
    code=0
    (cd "$run" && "$3" sample.exe --polls 1 >"$run/first.txt" 2>>"$run/wine.log") || code=1
    # Not in the last seconds of a minute: the sample must start and poll in it.
    second=$(date +%-S)
    [ "$second" -lt 45 ] || sleep $((62 - second))
    python3 - "$run/mdb/Para.mdb" <<'EOF' || code=1
import sqlite3, sys, time
db = sqlite3.connect(sys.argv[1])
db.execute("UPDATE tblClassTime SET 班制 = 1, Class1 = ?", (time.strftime("1899-12-30 %H:%M:00"),))
db.commit()
EOF
    (cd "$run" && "$3" sample.exe --polls 3 >"$run/events.txt" 2>>"$run/wine.log") || code=1
    "$3" regsvr32 /s /u "$dll" >>"$run/wine.log" 2>&1 || code=1
    cat "$run/first.txt" "$run/events.txt"
    grep -q '^eventSetClass: iBanzhi = 1, iBanCii = "1", strBanBie = "甲班", dDateNow = ' "$run/events.txt" \
        && grep -q '^done' "$run/events.txt" && [ "$code" -eq 0 ]
}
for arch in x86 x64; do
    if [ "$arch" = x86 ] && [ -z "$runs32" ]; then
        sample_result="$sample_result x86 not run"
        continue
    fi
    case $arch in
        x86) cxx=i686-w64-mingw32-g++ loader=wine ;;
        x64) cxx=x86_64-w64-mingw32-g++ loader=$wine64 ;;
    esac
    if sample_run "$arch" "$cxx" "$loader"; then
        passed=$((passed + 1))
        sample_result="$sample_result $arch passed"
    else
        echo "$arch: the C++ sample failed; see $kit/run-$arch" >&2
        failed=$((failed + 1))
        sample_result="$sample_result $arch failed"
        status=1
    fi
done
timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
summary="$summary C++ sample:$sample_result;"

# The packages as integrators and plants meet them: the import gate, signing
# and the fragment, then msiexec in a prefix of its own. Each prints
# 'N passed, N failed'.
for t in package_test msi_test; do
    [ "$status" -eq 0 ] || break
    step "$t"
    log="$out/$t.log"
    python3 "$root/tests/msi/$t.py" "$out" "$version" 2>&1 | tee "$log" || true
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        echo "$t: no summary" >&2
        status=1
        continue
    fi
    ok=${line%% passed*}
    bad=${line#* passed, }
    bad=${bad%% failed*}
    passed=$((passed + ok))
    failed=$((failed + bad))
    summary="$summary $t: $line;"
done

printf '\n== Windows build and tests took %s s\n' "$(($(date +%s) - started))"
echo "==${summary}${not_run}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit "$status"
