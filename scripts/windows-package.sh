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
# and beside it Dutygate-<version>-x64.msi and -x86.msi (scripts/windows-msi.py),
# after checking each DLL's imports against the Windows floor; signs the
# DLLs and then the packages where a certificate is named
# (scripts/sign-windows.sh). Then checks what it packed: the file list, each
# DLL's size, the samples being ASCII, each manifest parsing as XML with the
# CLSIDs and ProgIDs of the class table, the host templates naming the
# assembly as its manifest does, CRLF line ends in every text file, and the
# header compiling. Run after both bitnesses are built (scripts/windows.sh
# does).
#   scripts/windows-package.sh [build-windows folder]
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(cd "${1:-$root/build-windows}" && pwd)
version=$(sed -n 's/^project(Dutygate VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
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

# The station tool, one 32-bit program for either Windows.
mkdir -p "$stage/tools"
[ -f "$out/x86/ResetPassword.exe" ] || { echo "windows-package: $out/x86/ResetPassword.exe is missing" >&2; exit 1; }
i686-w64-mingw32-strip --strip-all -o "$stage/tools/ResetPassword.exe" "$out/x86/ResetPassword.exe"

# Every import needs a Windows no newer than the floor.
python3 scripts/windows-imports.py "$stage/x86/Dutygate.dll" "$stage/x64/Dutygate.dll" "$stage/tools/ResetPassword.exe"

# Signed where a certificate is named: the DLLs now, the packages built from
# them below.
signing=1
scripts/sign-windows.sh "$stage/x86/Dutygate.dll" "$stage/x64/Dutygate.dll" "$stage/tools/ResetPassword.exe" || {
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
bom_crlf component/win32/package/README.txt >"$stage/README.txt"
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
if ! python3 - "$zipfile" "$max_dll_bytes" "$out/x64/Dutygate.classes.txt" "$version" <<'EOF'
import sys, zipfile
import xml.etree.ElementTree as ET

zip_path, max_bytes, class_list, version = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
problems = []

def check(ok, what):
    if not ok:
        problems.append(what)

# The class table as the build wrote it (the wix writer's class list): the
# library's identifier, and each class's CLSID and ProgID.
expected, libid = {}, None
try:
    for line in open(class_list, encoding="utf-8"):
        kind, _, rest = line.strip().partition(" ")
        if kind == "libid":
            libid = rest.upper()
        elif kind == "class":
            clsid, _, progid = rest.partition(" ")
            expected[clsid.upper()] = progid
except OSError as e:
    sys.exit("windows-package: cannot read the class list: %s" % e)
if libid is None or not expected:
    sys.exit("windows-package: %s names no library or no class" % class_list)

z = zipfile.ZipFile(zip_path)
names = set(z.namelist())
wanted = {"x86/Dutygate.dll", "x86/Dutygate.manifest", "x64/Dutygate.dll", "x64/Dutygate.manifest",
          "Dutygate.idl", "Dutygate.wxs", "README.txt", "LICENSE", "THIRD-PARTY.txt", "sample.vbs",
          "tools/ResetPassword.exe", "x86/host.exe.manifest", "x64/host.exe.manifest", "include/Dutygate.h",
          "include/Dutygate_i.c", "samples/cpp/sample.cpp", "samples/cpp/build.txt", "samples/vb6/Sample.vbp",
          "samples/vb6/frmSample.frm", "samples/vb6/CDutygateHost.cls"}
check(wanted <= names, "missing from the zip: %s" % sorted(wanted - names))

asm = "{urn:schemas-microsoft-com:asm.v1}"
for arch, cpu in (("x86", "x86"), ("x64", "amd64")):
    size = z.getinfo(arch + "/Dutygate.dll").file_size
    print("%s/Dutygate.dll: %d bytes" % (arch, size))
    check(size <= max_bytes, "%s/Dutygate.dll is %d bytes, over %d" % (arch, size, max_bytes))
    try:
        doc = ET.fromstring(z.read(arch + "/Dutygate.manifest"))
    except ET.ParseError as e:
        problems.append("%s/Dutygate.manifest is not XML: %s" % (arch, e))
        continue
    ident = doc.find(asm + "assemblyIdentity")
    check(ident is not None and ident.attrib == {"type": "win32", "name": "Dutygate",
                                                 "version": version.split(".")[0] + ".0.0.0",
                                                 "processorArchitecture": cpu},
          "%s/Dutygate.manifest: assembly identity %s" % (arch, None if ident is None else ident.attrib))
    files = doc.findall(asm + "file")
    check(len(files) == 1 and files[0].get("name") == "Dutygate.dll", "%s: one file element for Dutygate.dll" % arch)
    if not files:
        continue
    got = {}
    for c in files[0].findall(asm + "comClass"):
        got[c.get("clsid", "").upper()] = c.get("progid")
        check(c.get("threadingModel") == "Apartment" and c.get("tlbid", "").upper() == libid,
              "%s: comClass %s threading model and tlbid" % (arch, c.get("clsid")))
    check(got == expected, "%s: comClass entries %s, the class table has %s" % (arch, got, expected))
    libs = files[0].findall(asm + "typelib")
    check(len(libs) == 1 and libs[0].get("tlbid", "").upper() == libid and libs[0].get("version") == "3.0"
          and libs[0].get("helpdir") == "", "%s: one typelib element, version 3.0" % arch)

check(all(b < 0x80 for b in z.read("sample.vbs")), "sample.vbs is ASCII")
for text in ("README.txt", "THIRD-PARTY.txt"):
    data = z.read(text)
    check(data.startswith(b"\xef\xbb\xbf") and b"\n" not in data.replace(b"\r\n", b""),
          "%s is UTF-8 with a byte-order mark and CRLF line ends" % text)

# Every text file has CRLF line ends; the header, the samples and the build
# note are ASCII; each host template names the assembly exactly as the
# assembly manifest beside it does (name, the interface's version, the
# processor architecture of its folder).
for name in sorted(n for n in names if not n.endswith("/")):
    if name.lower().endswith((".dll", ".exe", ".msi")):
        continue
    data = z.read(name)
    if b"\r" in data.replace(b"\r\n", b"") or b"\n" in data.replace(b"\r\n", b""):
        problems.append("%s: not CRLF line ends throughout" % name)
    if name.startswith(("include/", "samples/")) and any(b >= 0x80 for b in data):
        problems.append("%s: not ASCII" % name)

for arch, cpu in (("x86", "x86"), ("x64", "amd64")):
    try:
        own = ET.fromstring(z.read(arch + "/Dutygate.manifest")).find(asm + "assemblyIdentity")
        host = ET.fromstring(z.read(arch + "/host.exe.manifest"))
    except (KeyError, ET.ParseError) as e:
        problems.append("%s: manifests unreadable: %s" % (arch, e))
        continue
    refs = host.findall("%sdependency/%sdependentAssembly/%sassemblyIdentity" % (asm, asm, asm))
    if len(refs) != 1 or own is None or refs[0].attrib != own.attrib or own.get("processorArchitecture") != cpu:
        problems.append("%s/host.exe.manifest names %s, the assembly is %s" %
                        (arch, [r.attrib for r in refs], None if own is None else own.attrib))

for p in problems:
    print("windows-package: " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
then
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
