#!/bin/sh
# Packs the Windows build into build-windows/Dutygate-<version>-windows.zip:
#   x86/Dutygate.dll  x86/Dutygate.manifest
#   x64/Dutygate.dll  x64/Dutygate.manifest
#   Dutygate.idl  Dutygate.wxs  README.txt  LICENSE  THIRD-PARTY.txt  sample.vbs
#   x86/host.exe.manifest  x64/host.exe.manifest
#   include/Dutygate.h  include/Dutygate_i.c
#   samples/cpp/sample.cpp  samples/cpp/build.txt
#   samples/vb6/Sample.vbp  samples/vb6/frmSample.frm  samples/vb6/CDutygateHost.cls
#   tools/ResetPassword.exe (x86)
#   tools/x86/DutygateCheck.exe  tools/x64/DutygateCheck.exe
# and beside it Dutygate-<version>-x64.msi and -x86.msi (scripts/windows-msi.py),
# after checking each DLL's imports against the Windows floor; signs the
# DLLs and then the packages where a certificate is named
# (scripts/sign-windows.sh). Then checks what it packed
# (scripts/windows-zip-check.py) and that the header compiles. Run after
# both bitnesses are built (scripts/windows.sh does).
#   scripts/windows-package.sh [build-windows folder]
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(cd "${1:-$root/build-windows}" && pwd)
version=$(cat "$out/x64/dutygate-version.txt")
zipfile=$out/Dutygate-$version-windows.zip
# Each DLL in the zip stays below this many bytes (2.5 MB).
max_dll_bytes=2500000

# The staged files stay in build-windows/package/: the packages are built
# from them, and the installer tests build their lower version from them.
stage=$out/package
rm -rf "$stage"
mkdir -p "$stage"
for arch in x86 x64; do
    case $arch in
        x86) strip=i686-w64-mingw32-strip ;;
        x64) strip=x86_64-w64-mingw32-strip ;;
    esac
    dll=$out/$arch/Dutygate.dll
    manifest=$out/$arch/Dutygate.manifest
    for f in "$dll" "$manifest"; do
        [ -f "$f" ] || { echo "windows-package: $f is missing; build both bitnesses first" >&2; exit 1; }
    done
    mkdir -p "$stage/$arch"
    "$strip" --strip-all -o "$stage/$arch/Dutygate.dll" "$dll"
    cp "$manifest" "$stage/$arch/Dutygate.manifest"
done

# The station tools: the password reset, one 32-bit program for either
# Windows; the station check once per bitness, since its exit status answers
# for a host of its own bitness (each reports both registry views).
mkdir -p "$stage/tools/x86" "$stage/tools/x64"
[ -f "$out/x86/ResetPassword.exe" ] || { echo "windows-package: $out/x86/ResetPassword.exe is missing" >&2; exit 1; }
i686-w64-mingw32-strip --strip-all -o "$stage/tools/ResetPassword.exe" "$out/x86/ResetPassword.exe"
for arch in x86 x64; do
    case $arch in
        x86) strip=i686-w64-mingw32-strip ;;
        x64) strip=x86_64-w64-mingw32-strip ;;
    esac
    [ -f "$out/$arch/DutygateCheck.exe" ] || { echo "windows-package: $out/$arch/DutygateCheck.exe is missing" >&2; exit 1; }
    "$strip" --strip-all -o "$stage/tools/$arch/DutygateCheck.exe" "$out/$arch/DutygateCheck.exe"
done
tools="$stage/tools/ResetPassword.exe $stage/tools/x86/DutygateCheck.exe $stage/tools/x64/DutygateCheck.exe"

# Every import needs a Windows no newer than the floor.
# shellcheck disable=SC2086
python3 scripts/windows-imports.py "$stage/x86/Dutygate.dll" "$stage/x64/Dutygate.dll" $tools

# Signed where a certificate is named: the DLLs now, the packages built from
# them below.
signing=1
# shellcheck disable=SC2086
scripts/sign-windows.sh "$stage/x86/Dutygate.dll" "$stage/x64/Dutygate.dll" $tools || {
    [ $? -eq 3 ] || exit 1
    signing=""
}
# The fragment for integrators' installers, as the build wrote it.
crlf() { sed 's/\r*$/\r/' "$1"; }
crlf "$out/x64/Dutygate.wxs" >"$stage/Dutygate.wxs"

# Texts a plant opens in Notepad get Windows line ends. Those with Chinese
# text are UTF-8 with a byte-order mark: Notepad before Windows 10 1903 reads
# a file without one in the ANSI code page (GBK on a Chinese system) and
# shows UTF-8 Chinese as mojibake; with the mark every version reads UTF-8.
bom_crlf() { printf '\357\273\277'; crlf "$1"; }
# README.txt: the integrator's guide, Chinese then English, made from the two
# Markdown files in docs/ as plain text, its sections numbered and underlined
# (scripts/plain-guide.lua).
guide_text() { pandoc -f gfm -t plain --columns=78 --lua-filter=scripts/plain-guide.lua "$1"; }
{
    guide_text docs/windows-guide.zh-CN.md
    printf '\n\n%s\n\n' "------------------------------------------------------------------------------"
    guide_text docs/windows-guide.md
} >"$stage/README.md.txt"
bom_crlf "$stage/README.md.txt" >"$stage/README.txt"
rm -f "$stage/README.md.txt"
bom_crlf THIRD-PARTY.txt >"$stage/THIRD-PARTY.txt"
crlf LICENSE >"$stage/LICENSE"
# The sample stays plain ASCII with no mark: cscript reads script files in
# the ANSI code page, and would take a byte-order mark as part of the code.
crlf component/win32/package/sample.vbs >"$stage/sample.vbs"

# ---- IDL, header, samples and host manifest templates ----
# The IDL; the header and the GUIDs as widl wrote them (the same for both
# bitnesses); the samples (ASCII: Visual C++ and VB6 read source files in the
# ANSI code page, and VB6 needs CRLF); and beside each DLL the application
# manifest template for a host of that bitness.
crlf component/Dutygate.idl >"$stage/Dutygate.idl"
for arch in x86 x64; do
    [ -f "$out/$arch/host.exe.manifest" ] || { echo "windows-package: $out/$arch/host.exe.manifest is missing" >&2; exit 1; }
    cp "$out/$arch/host.exe.manifest" "$stage/$arch/host.exe.manifest"
done
mkdir -p "$stage/include" "$stage/samples/cpp" "$stage/samples/vb6"
for f in Dutygate.h Dutygate_i.c; do
    [ -f "$out/x64/include-com/$f" ] || { echo "windows-package: $out/x64/include-com/$f is missing" >&2; exit 1; }
    crlf "$out/x64/include-com/$f" >"$stage/include/$f"
done
for f in cpp/sample.cpp cpp/build.txt vb6/Sample.vbp vb6/frmSample.frm vb6/CDutygateHost.cls; do
    crlf "component/win32/package/samples/$f" >"$stage/samples/$f"
done

rm -f "$zipfile"
(cd "$stage" && cmake -E tar cf "$zipfile" --format=zip -- \
    x86 x64 Dutygate.idl Dutygate.wxs README.txt LICENSE THIRD-PARTY.txt sample.vbs include samples tools)

# The Windows Installer packages, from the same staged files.
python3 scripts/windows-msi.py "$stage" "$out/x64/Dutygate.wxs" "$version" "$out"
msis="$out/Dutygate-$version-x64.msi $out/Dutygate-$version-x86.msi"
if [ -n "$signing" ]; then
    # shellcheck disable=SC2086
    scripts/sign-windows.sh $msis
else
    echo "package: unsigned (no certificate named; see scripts/sign-windows.sh)"
fi

# ---- check the zip ----
# A zip that fails the check is removed: nothing half-right is left to ship.
if ! python3 scripts/windows-zip-check.py "$zipfile" "$out/x64/Dutygate.classes.txt" "$version" "$max_dll_bytes"; then
    # shellcheck disable=SC2086
    rm -f "$zipfile" $msis
    echo "windows-package: the check failed; no package made" >&2
    exit 1
fi

# The header compiles as the zip's user meets it: in C++ (the sample) and in C.
kit=$stage/kit
mkdir -p "$kit"
(cd "$kit" && cmake -E tar xf "$zipfile")
printf '#include "Dutygate.h"\r\n' >"$kit/header.c"
if ! (cd "$kit" && x86_64-w64-mingw32-g++ -fsyntax-only -Wall -Wextra -Werror -I include samples/cpp/sample.cpp \
    && x86_64-w64-mingw32-gcc -fsyntax-only -Wall -Wextra -Werror -I include header.c include/Dutygate_i.c); then
    rm -f "$zipfile"
    echo "windows-package: include/Dutygate.h or the C++ sample does not compile; no package made" >&2
    exit 1
fi
echo "package: $zipfile"
