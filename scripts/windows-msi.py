#!/usr/bin/env python3
"""Builds the Windows Installer packages from the generated fragment.

    windows-msi.py STAGE FRAGMENT FILE_VERSION OUT_DIR [PRODUCT_VERSION]

STAGE holds x86/ and x64/ as the zip carries them (Dutygate.dll and
Dutygate.manifest, signed where signing is on); FRAGMENT is the Dutygate.wxs
that the build writes from the class table. Writes
OUT_DIR/Dutygate-<FILE_VERSION>-x64.msi and -x86.msi from the products in
component/win32/package/, then checks what it wrote. PRODUCT_VERSION, for
tests only, gives the packages another version from the same source.

wixl 0.101 (Debian's msitools) leaves out three things that the packages
need; this script adds them and checks them:
  - text in Chinese: wixl drops it (or crashes), so the products carry the
    English messages and the Chinese sentence is put in front of each here
    with msibuild, after the database's code page is set to 936;
  - File.Version of the DLLs, which the Installer's file rules compare: set
    with msibuild as the README tells integrators who build with wixl
    (set_file_version);
  - linking by reference: wixl takes every fragment it is given, so the
    fragments that a product does not reference are left out first.
Everything else, the keys with no value of their own included, comes from
the fragment as wixl compiles it, and wixl must print no warning for it.
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
# Tables that mean self-registration or the Installer's own COM handling;
# the packages register through Registry rows only.
FORBIDDEN_TABLES = {"SelfReg", "TypeLib", "Class", "ProgId", "Extension", "MIME", "Verb", "AppId"}


def chinese_sentences(file_version):
    """The Chinese sentence in front of each message, by its condition."""
    return {
        "NOT WIX_DOWNGRADE_DETECTED": "已安装更高版本的 Dutygate，不能用较低的版本替换它。",
        "NOT VersionNT64": "此安装包只用于 32 位 Windows。在 64 位 Windows 上请安装 "
        "Dutygate-%s-x64.msi，它同时安装 32 位和 64 位的 Dutygate.dll。" % file_version,
        "VersionNT > 601 OR (VersionNT = 601 AND ServicePackLevel >= 1)": "Dutygate 需要 Windows 7 SP1 或更高版本。",
    }


def product_version(file_version):
    """Windows Installer compares three fields: a.b.c.d becomes a.b.(c*1000+d)."""
    a, b, c, d = (int(x) for x in file_version.split("."))
    if c * 1000 + d > 65535:
        sys.exit("windows-msi: file version %s has no three-field product version" % file_version)
    return "%d.%d.%d" % (a, b, c * 1000 + d)


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    # wixl drops what it does not understand with no more than a warning.
    if result.returncode != 0 or (command[0] == "wixl" and result.stderr.strip()):
        sys.exit("windows-msi: %s failed (%d):\n%s%s" % (command[0], result.returncode, result.stdout, result.stderr))
    return result.stdout


def sql(msi, *queries):
    for q in queries:
        run("msibuild", msi, "-q", q)


def quote(text):
    if "'" in text:
        sys.exit("windows-msi: a quote in %r" % text)
    return "'" + text + "'"


def referenced_fragments(product, fragment, out):
    """Writes `out`: the fragment file with only the fragments the product references."""
    wanted = {e.get("Id") for e in ET.parse(product).iter(WIX + "ComponentGroupRef")}
    # The fragment's preprocessor instructions stay: they choose between the
    # WiX toolset's form of a row and wixl's.
    tree = ET.parse(fragment, ET.XMLParser(target=ET.TreeBuilder(insert_pis=True)))
    root = tree.getroot()
    for frag in list(root.findall(WIX + "Fragment")):
        groups = {g.get("Id") for g in frag.iter(WIX + "ComponentGroup")}
        if not groups & wanted:
            root.remove(frag)
    ET.register_namespace("", WIX[1:-1])
    tree.write(out, encoding="utf-8", xml_declaration=True)
    return root


def set_file_version(msi, file_version):
    """File.Version of Dutygate.dll, which wixl leaves empty."""
    sql(msi, "UPDATE File SET Version=%s WHERE FileName='Dutygate.dll'" % quote(file_version))


def export(msi, table):
    """A table's rows as lists of fields."""
    text = run("msiinfo", "export", msi, table)
    return [line.split("\t") for line in text.replace("\r", "").split("\n")[3:] if line]


def build(arch, stage, fragment, file_version, out_dir, version):
    product = os.path.join("component", "win32", "package", "Dutygate-%s.wxs" % arch)
    msi = os.path.join(out_dir, "Dutygate-%s-%s.msi" % (file_version, arch))
    with tempfile.TemporaryDirectory() as tmp:
        # wixl finds a source relative to the file that names it, and takes
        # no absolute path: the linked fragment goes into the stage.
        linked = os.path.join(stage, ".Dutygate-%s.wxs" % arch)
        fragments = referenced_fragments(product, fragment, linked)
        if os.path.exists(msi):
            os.remove(msi)
        try:
            run("wixl", "-a", arch, "-D", "DutygateSource=.", "-D", "ProductVersion=" + version,
                "-D", "FileVersion=" + file_version, "-o", msi, product, linked)
        finally:
            os.remove(linked)
        if not os.path.exists(msi):
            sys.exit("windows-msi: wixl wrote no %s" % msi)
        codepage = os.path.join(tmp, "_ForceCodepage.idt")
        with open(codepage, "w", newline="") as f:
            f.write("\r\n\r\n936\t_ForceCodepage\r\n")
        run("msibuild", msi, "-i", codepage)
    sentences = chinese_sentences(file_version)
    for condition, description in export(msi, "LaunchCondition"):
        if condition not in sentences:
            sys.exit("windows-msi: no Chinese sentence for the condition %r" % condition)
        sql(msi, "UPDATE LaunchCondition SET Description=%s WHERE Condition=%s"
            % (quote(sentences[condition] + description), quote(condition)))
    set_file_version(msi, file_version)
    check(msi, arch, fragments, file_version, version)
    return msi


def check(msi, arch, fragments, file_version, version):
    problems = []
    tables = set(run("msiinfo", "tables", msi).split())
    problems += ["has the %s table" % t for t in sorted(tables & FORBIDDEN_TABLES)]
    # wixl's form of each row is a RegistryValue, a key with no value of its
    # own included (the WiX toolset's RegistryKey beside it is not counted).
    values = sum(1 for _ in fragments.iter(WIX + "RegistryValue"))
    registry = export(msi, "Registry")
    if len(registry) != values:
        problems.append("%d registry rows, the fragment has %d" % (len(registry), values))
    if not any(row[3] == "*" and not row[4] for row in registry):
        problems.append("no key with no value of its own ('*' row)")
    if any(row[1] != "2" for row in registry):
        problems.append("a registry row outside HKLM")
    win64 = {c.get("Id"): c.get("Win64") for c in fragments.iter(WIX + "Component")}
    for name, _, _, attributes, _, _ in export(msi, "Component"):
        stated = win64.get(name)
        if stated not in ("yes", "no") or (int(attributes) & 256 != 0) != (stated == "yes"):
            problems.append("component %s: Win64 %s, attributes %s" % (name, stated, attributes))
    for row in export(msi, "File"):
        if row[2] == "Dutygate.dll" and row[4] != file_version:
            problems.append("%s has the version %r" % (row[0], row[4]))
    for condition, description in export(msi, "LaunchCondition"):
        if not re.fullmatch(r".*[\u4e00-\u9fff].*。[A-Za-z][\x00-\x7f]*", description):
            problems.append("the message of %r is not Chinese, then English" % condition)
    properties = dict(export(msi, "Property"))
    if properties.get("ProductVersion") != version or properties.get("ALLUSERS") != "1":
        problems.append("ProductVersion %s, ALLUSERS %s" % (properties.get("ProductVersion"), properties.get("ALLUSERS")))
    if arch == "x86" and not any(c == "NOT VersionNT64" for c, _ in export(msi, "LaunchCondition")):
        problems.append("no refusal on 64-bit Windows")
    for p in problems:
        print("windows-msi: %s: %s" % (os.path.basename(msi), p), file=sys.stderr)
    if problems:
        os.remove(msi)
        sys.exit(1)
    print("%s: %d registry rows, version %s" % (msi, len(registry), version))


def main():
    if len(sys.argv) not in (5, 6):
        sys.exit(__doc__)
    stage, fragment, file_version, out_dir = sys.argv[1:5]
    stage, fragment, out_dir = (os.path.abspath(p) for p in (stage, fragment, out_dir))
    version = sys.argv[5] if len(sys.argv) == 6 else product_version(file_version)
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    os.makedirs(out_dir, exist_ok=True)
    for arch in ("x64", "x86"):
        build(arch, stage, fragment, file_version, out_dir, version)


if __name__ == "__main__":
    main()
