#!/usr/bin/env python3
"""What the packaging promises, checked as its users meet it:

    package_test.py BUILD_WINDOWS_DIR FILE_VERSION

- the import gate refuses a binary that needs Windows 8;
- signing with a throwaway CA passes osslsigncode's verification, and a
  one-byte change to a signed DLL or a changed package fails it;
- the zip's Dutygate.wxs compiles with wixl, with no warning, into an
  integrator's own package, from the zip unpacked as they would unpack it,
  with the same registry rows as our package of that bitness and, after the
  README's msibuild step, the DLLs' file version.
Ends with 'N passed, N failed'.
"""
import importlib.util
import os
import subprocess
import sys
import tempfile
import zipfile

OUT, VERSION = os.path.abspath(sys.argv[1]), sys.argv[2]
SCRIPTS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "scripts")
MSI_SCRIPT = importlib.util.module_from_spec(
    importlib.util.spec_from_file_location("windows_msi", os.path.join(SCRIPTS, "windows-msi.py")))
MSI_SCRIPT.__spec__.loader.exec_module(MSI_SCRIPT)
results = []


def check(name, ok, detail=""):
    results.append(bool(ok))
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else ": " + str(detail)[:2000]), flush=True)


def run(*command, cwd=None, env=None):
    r = subprocess.run(command, capture_output=True, text=True, cwd=cwd, env=env)
    return r.returncode, r.stdout + r.stderr


def gate(tmp):
    # A DLL without the C runtime: its one import is the Windows 8 function.
    source = os.path.join(tmp, "eight.c")
    with open(source, "w") as f:
        f.write("#include <windows.h>\n__declspec(dllexport) DWORD Now(void) { FILETIME t;"
                " GetSystemTimePreciseAsFileTime(&t); return t.dwLowDateTime; }\n")
    dll = os.path.join(tmp, "eight.dll")
    run("x86_64-w64-mingw32-gcc", "-shared", "-nostdlib", "-o", dll, source, "-lkernel32")
    code, text = run(sys.executable, os.path.join(SCRIPTS, "windows-imports.py"), dll)
    check("the import gate refuses a Windows 8 import",
          code == 1 and "GetSystemTimePreciseAsFileTime, which needs Windows 8" in text, text)


def signing(tmp):
    openssl = ["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-days", "2"]
    run(*openssl, "-x509", "-keyout", "ca.key", "-out", "ca.pem", "-subj", "/CN=Dutygate Test CA",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign", cwd=tmp)
    run(*openssl, "-keyout", "sign.key", "-out", "sign.csr", "-subj", "/CN=Dutygate Test Signer", cwd=tmp)
    with open(os.path.join(tmp, "ext"), "w") as f:
        f.write("extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n")
    run("openssl", "x509", "-req", "-in", "sign.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-out", "sign.pem", "-days", "2", "-extfile", "ext", cwd=tmp)
    dll, msi = os.path.join(tmp, "Dutygate.dll"), os.path.join(tmp, "Dutygate.msi")
    with open(os.path.join(OUT, "package", "x64", "Dutygate.dll"), "rb") as f, open(dll, "wb") as g:
        g.write(f.read())
    with open(os.path.join(OUT, "Dutygate-%s-x64.msi" % VERSION), "rb") as f, open(msi, "wb") as g:
        g.write(f.read())
    env = dict(os.environ, DUTYGATE_SIGN_CERT=os.path.join(tmp, "sign.pem"),
               DUTYGATE_SIGN_KEY=os.path.join(tmp, "sign.key"))
    code, text = run(os.path.join(SCRIPTS, "sign-windows.sh"), dll, msi, env=env)
    check("the DLL and the package are signed", code == 0, text)

    def verified(path):
        return run("osslsigncode", "verify", "-CAfile", os.path.join(tmp, "ca.pem"), "-in", path)[0] == 0

    check("both pass verification against the CA", verified(dll) and verified(msi))
    data = bytearray(open(dll, "rb").read())
    data[0x400] ^= 1
    with open(dll, "wb") as f:
        f.write(data)
    run("msibuild", msi, "-q", "UPDATE `Property` SET `Value`='Changed' WHERE `Property`='Manufacturer'")
    check("a changed DLL or package fails it", not verified(dll) and not verified(msi))
    code, text = run(os.path.join(SCRIPTS, "sign-windows.sh"), dll, env=dict(os.environ, DUTYGATE_SIGN_CERT=""))
    check("without a certificate nothing is signed, and it says so", code == 3 and "unsigned" in text, text)


PLANT = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Plant HMI" Language="1033" Version="2.1.0" Manufacturer="A plant"
           UpgradeCode="2F0C7C7E-3C55-4E43-9F4B-7A0A5B1E9D11">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="plant.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      %s
      <Directory Id="ProgramFilesFolder">
        <Directory Id="HMI32" Name="Plant HMI"><Directory Id="DUTYGATEFOLDER32" Name="Dutygate"/></Directory>
      </Directory>
    </Directory>
    <Feature Id="HMI" Level="1">
      %s
      <ComponentGroupRef Id="DutygateX86"/>
      <ComponentGroupRef Id="DutygateShared"/>
    </Feature>
  </Product>
</Wix>
"""
FOLDER64 = """<Directory Id="ProgramFiles64Folder">
        <Directory Id="HMI" Name="Plant HMI"><Directory Id="DUTYGATEFOLDER64" Name="Dutygate"/></Directory>
      </Directory>"""


def fragment(tmp):
    unpacked = os.path.join(tmp, "Dutygate-%s" % VERSION)
    zipfile.ZipFile(os.path.join(OUT, "Dutygate-%s-windows.zip" % VERSION)).extractall(unpacked)
    # An integrator's product for 64-bit Windows takes all three groups; one
    # for 32-bit Windows only the x86 DLL and the shared rows, and must still
    # register both ProgIDs.
    for arch, product_text in (("x64", PLANT % (FOLDER64, '<ComponentGroupRef Id="DutygateX64"/>')),
                               ("x86", PLANT % ("", ""))):
        product = os.path.join(tmp, "Plant-%s.wxs" % arch)
        with open(product, "w") as f:
            f.write(product_text)
        plant = os.path.join(tmp, "plant-%s.msi" % arch)
        # wixl links every fragment it is given, where WiX's linker takes the
        # referenced ones: the packaging script's own filter leaves the rest out.
        linked = os.path.join(unpacked, "Plant-%s-Dutygate.wxs" % arch)
        MSI_SCRIPT.referenced_fragments(product, os.path.join(unpacked, "Dutygate.wxs"), linked)
        code, text = run("wixl", "-a", arch, "-D", "DutygateSource=.", "-o", plant, product, linked)
        if code == 0:
            MSI_SCRIPT.set_file_version(plant, VERSION)
        files = run("msiinfo", "export", plant, "File")[1] + run("msiinfo", "export", plant, "Registry")[1]
        check("the fragment compiles into an integrator's own %s package, with both ProgIDs" % arch,
              code == 0 and "Dutygate.x86.dll" in files and "InprocServer32" in files
              and all("Software\\Classes\\Dutygate.%s\\CLSID" % c in files for c in ("clsPassword", "clsShiftClass")),
              text + files)
        ours = os.path.join(OUT, "Dutygate-%s-%s.msi" % (VERSION, arch))
        built = os.path.exists(plant)
        shipped = sorted(map(tuple, MSI_SCRIPT.export(ours, "Registry")))
        rows = sorted(map(tuple, MSI_SCRIPT.export(plant, "Registry"))) if built else []
        files = MSI_SCRIPT.export(plant, "File") if built else []
        versions = {row[0]: row[4] for row in files if row[2] == "Dutygate.dll"}
        check("wixl warns of nothing; the %s package has our package's %d registry rows and the DLL's version"
              % (arch, len(shipped)),
              text.strip() == "" and rows == shipped and versions and set(versions.values()) == {VERSION},
              [text, sorted(set(rows) ^ set(shipped)), versions])


def main():
    with tempfile.TemporaryDirectory() as tmp:
        gate(tmp)
        signing(tmp)
        fragment(tmp)
    print("%d passed, %d failed" % (results.count(True), results.count(False)))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
