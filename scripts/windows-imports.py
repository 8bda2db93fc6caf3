#!/usr/bin/env python3
"""Holds the Windows floor: every function a binary imports must be in
scripts/windows-api-minimum.txt with its documented minimum Windows
version, and none may need more than the floor (Windows 7 SP1, 6.1).

    windows-imports.py BINARY...
    windows-imports.py --system-dlls-only BINARY...

Wine exports every function, so no test under it shows that a DLL still
loads on an older Windows: this table is that test. Exits 1 naming each
import that is newer than the floor or has no entry. With
--system-dlls-only (for every program of the build, the tests' too) it
checks only that each DLL imported is one of Windows's own: a DLL of the
table, or one on its "system" lines.
"""
import os
import re
import subprocess
import sys

FLOOR = (6, 1)
TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "windows-api-minimum.txt")
NAMES = {(5, 0): "Windows 2000", (5, 1): "Windows XP", (6, 0): "Windows Vista", (6, 1): "Windows 7",
         (6, 2): "Windows 8", (6, 3): "Windows 8.1", (10, 0): "Windows 10"}


def read_table():
    """({(dll, function): minimum version}, {system DLL})."""
    table, system = {}, set()
    with open(TABLE, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if line and line[0] == "system":
                system.update(dll.lower() for dll in line[1:])
            elif line:
                dll, function, version = line
                table[(dll.lower(), function)] = tuple(int(x) for x in version.split("."))
    return table, system | {dll for dll, _ in table}


def imports(binary):
    """(dll, function) for each function imported by name."""
    with open(binary, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    machine = int.from_bytes(head[pe + 4:pe + 6], "little")
    objdump = "x86_64-w64-mingw32-objdump" if machine == 0x8664 else "i686-w64-mingw32-objdump"
    text = subprocess.run([objdump, "-p", binary], capture_output=True, text=True, check=True).stdout
    found, dll = [], None
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            continue
        m = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\w+)\s*$", line)
        if dll and m:
            found.append((dll, m.group(1)))
        elif dll and not line.strip():
            dll = None
    return found


def main():
    table, system = read_table()
    dlls_only = sys.argv[1:2] == ["--system-dlls-only"]
    binaries = sys.argv[2:] if dlls_only else sys.argv[1:]
    problems = []
    for binary in binaries:
        names = imports(binary)
        if not names:
            problems.append("%s: no imports read" % binary)
        if dlls_only:
            problems += ["%s imports %s, which is not a system DLL" % (binary, dll)
                         for dll in sorted({dll for dll, _ in names} - system)]
            continue
        newest = max((table.get(n, (0, 0)) for n in names), default=(0, 0))
        for dll, function in names:
            need = table.get((dll, function))
            if need is None:
                problems.append("%s imports %s!%s, which has no documented minimum in %s"
                                % (binary, dll, function, os.path.basename(TABLE)))
            elif need > FLOOR:
                problems.append("%s imports %s!%s, which needs %s; the floor is Windows 7 SP1"
                                % (binary, dll, function, NAMES.get(need, "%d.%d" % need)))
        print("%s: %d imports, the newest needs %s" % (binary, len(names), NAMES.get(newest, "%d.%d" % newest)))
    if dlls_only:
        print("%d binaries, each importing only system DLLs" % len(binaries))
    for p in problems:
        print("windows-imports: " + p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
