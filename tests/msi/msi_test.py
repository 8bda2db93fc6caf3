#!/usr/bin/env python3
"""The packages as a plant installs them: msiexec under Wine, in a prefix of
their own, with the packages scripts/windows-package.sh made.

    msi_test.py BUILD_WINDOWS_DIR FILE_VERSION

Installs the x64 package over a lower version built from the same source,
creates both classes through the registry it wrote and receives
eventSetClass (the COM client suite, told where the DLL was installed),
compares every key it wrote with what regsvr32 writes for the same DLLs,
refuses a downgrade and the x86 package, repairs a deleted DLL, and
uninstalls leaving nothing of ours but the plant's database. Prints one line
a check and ends with 'N passed, N failed'.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

OUT, VERSION = os.path.abspath(sys.argv[1]), sys.argv[2]
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE64 = "/usr/lib/wine/wine64"
# Why the x86 half cannot run on this machine, or "" where it can.
NO_32BIT = os.environ.get("DG_NO_32BIT", "")
RUNS32 = not NO_32BIT
ENV = dict(os.environ, WINEPREFIX=os.path.join(OUT, "wineprefix-msi"), WINEARCH="win64", WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml=")
PROGRAM_FILES = {"x64": r"C:\Program Files\Dutygate", "x86": r"C:\Program Files (x86)\Dutygate"}
results = []


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(*args, cwd=None, env=None):
    """Exit code (Wine gives it modulo 256) and output. Output goes through a
    file: Wine's own services inherit a pipe and would hold it open."""
    with tempfile.TemporaryFile() as f:
        code = subprocess.call([WINE64, *args], stdout=f, stderr=subprocess.STDOUT, cwd=cwd,
                               env=dict(ENV, **(env or {})), timeout=300)
        f.seek(0)
        return code, f.read().decode("utf-8", "replace")


def check(name, ok, detail=""):
    results.append(bool(ok))
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else ": " + str(detail)[:2000]), flush=True)


def msiexec(*args):
    return wine("msiexec", *args, "/qn")[0]


def package(arch, version=VERSION, folder=OUT):
    return windows_path(os.path.join(folder, "Dutygate-%s-%s.msi" % (version, arch)))


# The keys of ours, read from the fragment the build wrote: every root key
# its rows hang from (CLSID\{..}, Interface\{..}, TypeLib\{..}, the ProgIDs).
WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
fragment = ET.parse(os.path.join(OUT, "x64", "Dutygate.wxs"))
OUR_KEYS = sorted({re.match(r"(Software\\Classes\\(?:(?:CLSID|Interface|TypeLib)\\)?[^\\]+)", e.get("Key")).group(1)
                   for e in fragment.iter() if e.tag in (WIX + "RegistryValue", WIX + "RegistryKey")})


def registry():
    """Every value under our keys in both views: {(view, key, name, value)}."""
    entries = set()
    for view in ("64", "32"):
        for root in OUR_KEYS:
            code, text = wine("reg", "query", "HKLM\\" + root, "/s", "/reg:" + view)
            key = None
            for line in text.splitlines():
                if line.startswith("HKEY_"):
                    key = line.strip()
                    entries.add((view, key, None, None))
                elif key and line.startswith("    "):
                    name, kind, value = (re.split(r"\s{4}", line.strip(), maxsplit=2) + ["", ""])[:3]
                    entries.add((view, key, name, value))
    return entries


# A ProgID's key (Classes\<ProgID>, not CLSID, Interface or TypeLib) is one
# key for both registry views on Windows 7 and later: what a 32-bit
# component or a 32-bit regsvr32 writes there lands in the same key as the
# 64-bit rows. Wine keeps a copy per view where its msiexec writes one (a
# 32-bit component's rows go under Wow6432Node), while its regsvr32 writes
# the 64-bit view only, and 32-bit hosts read it there. So a ProgID's
# values are compared as one key's, whichever view shows them.
PROGID_KEY = re.compile(r"HKEY_LOCAL_MACHINE\\Software\\Classes\\(?!(?:CLSID|Interface|TypeLib)(?:\\|$))", re.I)


def normalised(entries, folders):
    out = set()
    for view, key, name, value in entries:
        for arch, folder in folders.items():
            value = value.replace(folder, "<" + arch + ">") if value else value
        out.add(("shared" if PROGID_KEY.match(key) else view, key, name, value))
    if not RUNS32:  # nothing of the x86 DLL's registration can be made here
        out = {e for e in out if e[0] in ("64", "shared") and "\\win32" not in e[1]}
    return out


def drive_c(path):
    """The prefix's own file for a C:\\ path."""
    return os.path.join(ENV["WINEPREFIX"], "drive_c", *path[3:].split("\\"))


def files_left():
    return [f for f in PROGRAM_FILES.values() if os.path.exists(drive_c(f))]


def com_client(arch, working_dir):
    exe = os.path.join(OUT, arch, "com_client_tests.exe")
    code, text = wine(exe, "--gtest_filter=*EventSetClass*:*CreationLateBound*", cwd=working_dir,
                      env={"DG_INSTALLED_DLL": PROGRAM_FILES[arch] + "\\Dutygate.dll"})
    return code == 0 and "[  PASSED  ] 2 tests" in text, text


def main():
    shutil.rmtree(ENV["WINEPREFIX"], ignore_errors=True)
    wine("wineboot", "-i")
    # A crashing client prints its backtrace and ends instead of waiting behind Wine's crash dialog.
    wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f")
    lower = os.path.join(OUT, "msi-test")
    a, b, c, d = VERSION.split(".")
    lower_version = "%s.%s.%s.%d" % (a, b, c, int(d) - 1)
    subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "windows-msi.py"), os.path.join(OUT, "package"),
                    os.path.join(OUT, "x64", "Dutygate.wxs"), lower_version, lower], check=True,
                   stdout=subprocess.DEVNULL)

    # The x86 package is for 32-bit Windows only.
    check("the x86 package is refused on 64-bit Windows", msiexec("/i", package("x86")) == 1603 % 256)
    check("... and installs nothing", not files_left(), files_left())

    # An upgrade in place from the lower version, leaving one product.
    check("the lower version installs", msiexec("/i", package("x64", lower_version, lower)) == 0)
    started = time.monotonic()
    check("the current version replaces it", msiexec("/i", package("x64")) == 0)
    install_seconds = time.monotonic() - started
    code, text = wine("reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall", "/s")
    entries = re.findall(r"DisplayName\s+REG_SZ\s+Dutygate\s*$", text, re.M)
    check("one entry in Programs and Features", len(entries) == 1, entries)
    check("a downgrade is refused", msiexec("/i", package("x64", lower_version, lower)) == 1603 % 256)

    # A plant's database, which no install, repair or uninstall touches.
    plant = drive_c(r"C:\plant\mdb\Para.mdb")
    os.makedirs(os.path.dirname(plant))
    with open(plant, "wb") as f:
        f.write(b"the plant's passwords and shift settings")
    # Both classes through the registry the package wrote.
    for arch in ("x64", "x86") if RUNS32 else ("x64",):
        ok, text = com_client(arch, os.path.dirname(os.path.dirname(plant)))
        check(arch + ": both classes created, ShiftClass raises eventSetClass", ok, text)
    installed = registry()

    # A repair puts back a deleted DLL.
    os.remove(drive_c(PROGRAM_FILES["x64"] + "\\Dutygate.dll"))
    check("a repair restores a deleted DLL",
          msiexec("/i", package("x64"), "REINSTALL=ALL", "REINSTALLMODE=omus") == 0
          and os.path.exists(drive_c(PROGRAM_FILES["x64"] + "\\Dutygate.dll")))

    # Uninstall: nothing of ours in either view, no file, the plant's data kept.
    copies = {arch: r"C:\regtest\%s" % arch for arch in PROGRAM_FILES}
    for arch in PROGRAM_FILES:
        os.makedirs(drive_c(copies[arch]))
        shutil.copy(drive_c(PROGRAM_FILES[arch] + "\\Dutygate.dll"), drive_c(copies[arch]))
    started = time.monotonic()
    check("uninstall", msiexec("/x", package("x64")) == 0)
    uninstall_seconds = time.monotonic() - started
    check("no key of ours left in either view", not registry(), sorted(registry(), key=str)[:10])
    check("no file of ours left", not files_left(), files_left())
    with open(plant, "rb") as f:
        check("the plant's database stays as it was", f.read() == b"the plant's passwords and shift settings")

    # The same DLLs registered by regsvr32 write exactly what the package wrote.
    for arch in ("x64", "x86") if RUNS32 else ("x64",):
        system = "system32" if arch == "x64" else "syswow64"
        wine("C:\\windows\\%s\\regsvr32.exe" % system, "/s", copies[arch] + "\\Dutygate.dll")
    registered = registry()
    a, b = normalised(installed, PROGRAM_FILES), normalised(registered, copies)
    check("the package's keys are regsvr32's keys", a == b and a,
          "only the package: %s; only regsvr32: %s" % (sorted(a - b, key=str)[:8], sorted(b - a, key=str)[:8]))
    for arch in ("x64", "x86") if RUNS32 else ("x64",):
        system = "system32" if arch == "x64" else "syswow64"
        wine("C:\\windows\\%s\\regsvr32.exe" % system, "/u", "/s", copies[arch] + "\\Dutygate.dll")
    subprocess.call(["wineserver", "-w"], env=ENV)
    print("install (upgrade) %.1f s, uninstall %.1f s" % (install_seconds, uninstall_seconds))
    if not RUNS32:
        print("not run: the x86 client and regsvr32, and the x86 package on 32-bit Windows (%s)" % NO_32BIT)
    print("%d passed, %d failed" % (results.count(True), results.count(False)))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
