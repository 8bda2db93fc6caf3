"""The headless shift announcer under a set clock (libfaketime): one JSON line
per shift change, nothing more in the same minute, exit code 0 on SIGTERM and
SIGINT, the no-display fallback, and a clean failure on a broken database.

usage: headless_driver.py DUTYGATE_HOST LIBFAKETIME
"""
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import time

HOST, FAKETIME_LIB = sys.argv[1], sys.argv[2]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, flush=True)


def environment(clock, display):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    if display:
        env["QT_QPA_PLATFORM"] = "offscreen"
    # A running clock from the given moment: a frozen one would stop Qt's timers.
    env.update(LD_PRELOAD=FAKETIME_LIB, FAKETIME="@" + clock, FAKETIME_DONT_FAKE_MONOTONIC="1", TZ="UTC")
    return env


def start(args, clock, display=False):
    workdir = tempfile.mkdtemp(prefix="dutygate-headless-")
    # Unbuffered, so that select() sees every line the host writes.
    proc = subprocess.Popen([HOST] + args, cwd=workdir, env=environment(clock, display), bufsize=0,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return proc, workdir


def read_line(proc, timeout):
    """The next stdout line, or None when none comes within `timeout` seconds."""
    ready, _, _ = select.select([proc.stdout], [], [], timeout)
    if not ready:
        return None
    return proc.stdout.readline().decode("utf-8")


def stop(proc, sig):
    proc.send_signal(sig)
    try:
        code = proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        code = "hung"
    return code, proc.stdout.read().decode("utf-8"), proc.stderr.read().decode("utf-8", "replace")


def announcer(args, clock, display, expected, sig):
    proc, workdir = start(args, clock, display)
    line = read_line(proc, 15)
    check(line is not None, "%s at %s: no line on stdout" % (args, clock))
    if line is not None:
        check(line.endswith("\n"), "the line ends with a newline: %r" % line)
        check(line.strip() == expected, "%s at %s:\n  got      %s\n  expected %s" % (args, clock, line.strip(), expected))
        json.loads(line)
    # Later polls in the same minute announce nothing.
    check(read_line(proc, 2.5) is None, "a second announcement in the same minute")
    code, rest, err = stop(proc, sig)
    check(code == 0, "exit code after %s: %s\nstderr:\n%s" % (signal.Signals(sig).name, code, err))
    check(rest == "", "output after the stop: %r" % rest)
    check(os.path.isfile(os.path.join(workdir, "mdb", "Para.mdb")), "the database is made in the working directory")
    return err


# The change to shift 2 at 06:00 with the default settings.
err = announcer(["--headless"], "2026-12-07 06:00:20", True,
                '{"event":"eventSetClass","iBanzhi":4,"iBanCii":"2","strBanBie":"乙班","dDateNow":"2026-12-07"}',
                signal.SIGTERM)
check("no display" not in err, "--headless does not talk about displays: " + err)

# No display and no option: the announcer all the same, saying why on stderr.
err = announcer([], "2026-12-07 18:00:05", False,
                '{"event":"eventSetClass","iBanzhi":4,"iBanCii":"4","strBanBie":"丁班","dDateNow":"2026-12-07"}',
                signal.SIGINT)
check("no display can be used" in err and "headless" in err, "the fallback is explained on stderr: " + err)

# Between change windows nothing is printed, and the stop is still clean.
proc, _ = start(["--headless"], "2026-12-07 07:30:00", True)
check(read_line(proc, 2.5) is None, "an announcement outside every change window")
code, _, err = stop(proc, signal.SIGTERM)
check(code == 0, "exit code outside the windows: %s %s" % (code, err))

# A database file that is not a database: a clear failure, not a hang.
workdir = tempfile.mkdtemp(prefix="dutygate-headless-")
os.mkdir(os.path.join(workdir, "mdb"))
with open(os.path.join(workdir, "mdb", "Para.mdb"), "wb") as f:
    f.write(b"this is not a database, it is just some text written here" * 40)
try:
    done = subprocess.run([HOST, "--headless"], cwd=workdir, env=environment("2026-12-07 06:00:20", True),
                          capture_output=True, timeout=30)
    check(done.returncode == 1, "exit code with a broken database: %s" % done.returncode)
    check(done.stdout == b"", "nothing on stdout with a broken database: %r" % done.stdout)
    check(b"Dutygate.clsShiftClass" in done.stderr, "the failure names the class: %r" % done.stderr)
except subprocess.TimeoutExpired:
    check(False, "hangs with a broken database")

if failures:
    sys.exit("%d check(s) failed" % len(failures))
print("headless announcer: all checks passed")
