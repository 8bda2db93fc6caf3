#!/usr/bin/env python3
"""The station check as an integrator runs it, in three working folders: a
sound station, a damaged database and a file named "mdb". Each run must give
its exit status, say why in Chinese, and leave the folder as it was. On
Windows the tool runs under Wine with the DLL registered by regsvr32.

    check_test.py TOOL [DUTYGATE_DLL WINE_LOADER]
"""
import os
import sqlite3
import subprocess
import sys
import tempfile

TOOL = os.path.abspath(sys.argv[1])
DLL, LOADER = (os.path.abspath(p) for p in sys.argv[2:4]) if len(sys.argv) == 4 else (None, None)
failures = []


def run(folder, *args):
    """(exit code, output); the output goes through a file, as Wine's own
    services would hold a pipe open."""
    out = folder + ".out"
    command = [LOADER, TOOL, *args] if LOADER else [TOOL, *args]
    with open(out, "wb") as f:
        code = subprocess.call(command, stdout=f, stderr=subprocess.STDOUT, cwd=folder, timeout=120)
    return code, open(out, encoding="utf-8", errors="replace").read()


def listing(folder):
    return sorted((os.path.relpath(os.path.join(d, n), folder), s.st_size, s.st_mtime_ns)
                  for d, dirs, files in os.walk(folder) for n in dirs + files
                  for s in [os.stat(os.path.join(d, n))])


def case(name, folder, expect_ok, reason, *args):
    before = listing(folder)
    code, text = run(folder, *args)
    print("---- %s: exit %d\n%s" % (name, code, text))
    if (code == 0) != expect_ok:
        failures.append("%s: exit status %d" % (name, code))
    for r in reason:
        if r not in text:
            failures.append("%s: %r not in the report" % (name, r))
    if listing(folder) != before:
        failures.append("%s: the folder changed" % name)


def main():
    root = tempfile.mkdtemp(prefix="dgcheck")
    sound, damaged, mdbfile = (os.path.join(root, n) for n in ("sound", "damaged", "mdbfile"))
    for d in (sound, damaged):
        os.makedirs(os.path.join(d, "mdb"))
    os.makedirs(mdbfile)
    with sqlite3.connect(os.path.join(sound, "mdb", "Para.mdb")) as db:
        db.execute('CREATE TABLE tblPass ("日期" DATETIME TEXT, "时间" DATETIME TEXT, "用户权限" TEXT, "登陆密码" TEXT)')
        db.execute("INSERT INTO tblPass VALUES ('2026-12-09 00:00:00', '1899-12-30 08:00:00', '管理员', '579')")
        db.execute("CREATE TABLE tblClassTime (班制 INTEGER, Class1 DATETIME TEXT, Class2 DATETIME TEXT,"
                   " Class3 DATETIME TEXT, Class4 DATETIME TEXT, B1 TEXT, B2 TEXT, B3 TEXT, B4 TEXT)")
        db.execute("INSERT INTO tblClassTime VALUES (4, '1899-12-30 00:00:00', '1899-12-30 06:00:00',"
                   " '1899-12-30 12:00:00', '1899-12-30 18:00:00', '甲班', '乙班', '丙班', '丁班')")
    # A Jet 4 header on a file that is not whole pages: cut short.
    with open(os.path.join(damaged, "mdb", "Para.mdb"), "wb") as f:
        f.write(b"\0\1\0\0Standard Jet DB\0\1".ljust(5000, b"\0"))
    open(os.path.join(mdbfile, "mdb"), "wb").close()

    as_argument = (lambda p: "Z:" + p.replace("/", "\\")) if LOADER else (lambda p: p)
    registered = DLL and subprocess.call([LOADER, "regsvr32", "/s", as_argument(DLL)], timeout=120) == 0
    if DLL and not registered:
        failures.append("regsvr32 failed")
    try:
        progid = ["按 ProgID“Dutygate.clsPassword”可以找到该类", "按 ProgID“Dutygate.clsShiftClass”可以找到该类"]
        case("sound", sound, True, ["完好", "可以写入"] + (progid if DLL else []))
        case("damaged", damaged, False, ["已损坏或不完整，无法读取，不能升级"], as_argument(damaged))
        case("mdb file", mdbfile, False, ["“mdb”是文件，不是文件夹"], as_argument(mdbfile))
    finally:
        if registered and subprocess.call([LOADER, "regsvr32", "/s", "/u", as_argument(DLL)], timeout=120) != 0:
            failures.append("regsvr32 /u failed")
    print("\n".join(failures) or "the station check: all three folders as expected (files in %s)" % root)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
