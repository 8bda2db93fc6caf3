#!/usr/bin/env python3
"""Checks the Windows zip before it ships:

    windows-zip-check.py ZIP CLASS_LIST FILE_VERSION MAX_DLL_BYTES

the file list, each DLL's size, the samples being ASCII, each manifest
parsing as XML with the CLSIDs and ProgIDs of the class table (CLASS_LIST,
Dutygate.classes.txt as the build wrote it), the host templates naming the
assembly as its manifest does, and CRLF line ends in every text file (with
a byte-order mark where a text has Chinese). Exits 1 naming each problem.
"""
import sys, zipfile
import xml.etree.ElementTree as ET

if len(sys.argv) != 5:
    sys.exit(__doc__)
zip_path, class_list, version, max_bytes = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
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
    sys.exit("windows-zip-check: cannot read the class list: %s" % e)
if libid is None or not expected:
    sys.exit("windows-zip-check: %s names no library or no class" % class_list)

z = zipfile.ZipFile(zip_path)
names = set(z.namelist())
wanted = {"x86/Dutygate.dll", "x86/Dutygate.manifest", "x64/Dutygate.dll", "x64/Dutygate.manifest",
          "Dutygate.idl", "Dutygate.wxs", "README.txt", "LICENSE", "THIRD-PARTY.txt", "sample.vbs",
          "tools/ResetPassword.exe", "tools/x86/DutygateCheck.exe",
          "tools/x64/DutygateCheck.exe", "x86/host.exe.manifest", "x64/host.exe.manifest", "include/Dutygate.h",
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

# Each station check sits in the folder of its bitness (the PE machine field).
for arch, machine in (("x86", 0x14C), ("x64", 0x8664)):
    name = "tools/%s/DutygateCheck.exe" % arch
    if name in names:
        data = z.read(name)
        pe = int.from_bytes(data[0x3C:0x40], "little")
        check(int.from_bytes(data[pe + 4:pe + 6], "little") == machine, "%s is not an %s program" % (name, arch))

check(all(b < 0x80 for b in z.read("sample.vbs")), "sample.vbs is ASCII")
# README.txt is the guide made from docs/: Chinese first, then English, as
# plain text (no Markdown left in it).
readme = z.read("README.txt").decode("utf-8-sig", "replace")
check(readme.startswith("Dutygate for Windows：集成指南") and "Dutygate for Windows: the integrator's guide" in readme
      and readme.index("集成指南") < readme.index("the integrator's guide"),
      "README.txt is the Chinese guide, then the English one")
check("](" not in readme and "```" not in readme, "README.txt has no Markdown left in it")
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
    print("windows-zip-check: " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
