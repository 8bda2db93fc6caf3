#!/bin/sh
# Packs the Windows build into build-windows/Dutygate-<version>-windows.zip:
# x86/Dutygate.dll, x64/Dutygate.dll, Dutygate.idl, README.txt and a sample
# script. Run after both bitnesses are built (scripts/windows.sh does).
#   scripts/windows-package.sh [build-windows folder]
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build-windows}
version=$(sed -n 's/^project(Dutygate VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zipfile=$out/Dutygate-$version-windows.zip

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for arch in x86 x64; do
    case $arch in
        x86) strip=i686-w64-mingw32-strip ;;
        x64) strip=x86_64-w64-mingw32-strip ;;
    esac
    dll=$out/$arch/Dutygate.dll
    [ -f "$dll" ] || { echo "windows-package: $dll is missing; build both bitnesses first" >&2; exit 1; }
    mkdir -p "$stage/$arch"
    "$strip" --strip-debug -o "$stage/$arch/Dutygate.dll" "$dll"
done
cp component/Dutygate.idl "$stage/"
# Windows line ends for the texts a plant opens in Notepad or runs.
for f in README.txt sample.vbs; do
    sed 's/\r*$/\r/' "component/win32/package/$f" >"$stage/$f"
done
rm -f "$zipfile"
(cd "$stage" && cmake -E tar cf "$zipfile" --format=zip -- x86 x64 Dutygate.idl README.txt sample.vbs)
echo "package: $zipfile"
