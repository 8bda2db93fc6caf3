#!/usr/bin/env python3
"""The C++ sample as its user meets it: built from this build's header with
the commands of samples/cpp/build.txt, run under Wine against this build's
Dutygate.dll registered by regsvr32. Once to make the database, then with
the one shift's change time at the current minute, so that eventSetClass
must reach the sample's sink.

    sample_test.py SAMPLE_EXE DUTYGATE_DLL WINE_LOADER
"""
import os
import sqlite3
import subprocess
import sys
import tempfile
import time

SAMPLE, DLL, LOADER = (os.path.abspath(p) for p in sys.argv[1:4])
DLL_PATH = "Z:" + DLL.replace("/", "\\")


def wine(log, *args, cwd=None):
    """Exit code; the output goes to a file, as Wine's own services would
    hold a pipe open."""
    with open(log, "ab") as f:
        return subprocess.call([LOADER, *args], stdout=f, stderr=subprocess.STDOUT, cwd=cwd, timeout=120)


def main():
    run = tempfile.mkdtemp(prefix="dgsample")
    log = os.path.join(run, "wine.log")
    if wine(log, "regsvr32", "/s", DLL_PATH) != 0:
        sys.exit("regsvr32 failed")
    try:
        if wine(os.path.join(run, "first.txt"), SAMPLE, "--polls", "1", cwd=run) != 0:
            sys.exit("the first run failed: " + open(os.path.join(run, "first.txt"), errors="replace").read())
        # Not in the last seconds of a minute: the sample must start and poll in it.
        if time.localtime().tm_sec >= 45:
            time.sleep(62 - time.localtime().tm_sec)
        with sqlite3.connect(os.path.join(run, "mdb", "Para.mdb")) as db:
            db.execute("UPDATE tblClassTime SET 班制 = 1, Class1 = ?", (time.strftime("1899-12-30 %H:%M:00"),))
        events = os.path.join(run, "events.txt")
        code = wine(events, SAMPLE, "--polls", "3", cwd=run)
    finally:
        unregistered = wine(log, "regsvr32", "/s", "/u", DLL_PATH) == 0
    text = open(events, encoding="utf-8", errors="replace").read()
    print(text)
    lines = text.splitlines()
    ok = (code == 0 and unregistered and "done" in lines
          and any(line.startswith('eventSetClass: iBanzhi = 1, iBanCii = "1", strBanBie = "甲班", dDateNow = ')
                  for line in lines))
    print("the sample %s; its files are in %s" % ("received eventSetClass" if ok else "FAILED", run))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
