"""dutygate-host --screenshots: four PNG pictures of the real dialogs, each of
its dialog's client size and not blank.

usage: screenshots_driver.py DUTYGATE_HOST
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HOST = sys.argv[1]

# Client sizes of the four dialogs in pixels (15 twips a pixel).
EXPECTED = {
    "login.png": (236, 103),
    "revise.png": (298, 132),
    "landing.png": (281, 58),
    "settings.png": (359, 183),
}


def png_facts(path):
    """(width, height, number of distinct byte values in the image data)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, width, height, idat = 8, 0, 0, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    return width, height, len(set(zlib.decompress(idat)))


workdir = tempfile.mkdtemp(prefix="dutygate-shots-")
out = os.path.join(workdir, "pictures")
env = dict(os.environ)
env.pop("DISPLAY", None)  # the option picks the offscreen platform itself
done = subprocess.run([HOST, "--screenshots", out], cwd=workdir, env=env, capture_output=True, timeout=90)
print(done.stderr.decode("utf-8", "replace"))
failures = []
if done.returncode != 0:
    failures.append("exit code %d" % done.returncode)
for name, size in EXPECTED.items():
    path = os.path.join(out, name)
    if not os.path.isfile(path) or os.path.getsize(path) == 0:
        failures.append("%s missing or empty" % name)
        continue
    width, height, values = png_facts(path)
    if (width, height) != size:
        failures.append("%s is %dx%d, expected %dx%d" % (name, width, height, size[0], size[1]))
    if values < 8:
        failures.append("%s looks blank (%d distinct byte values)" % (name, values))
extra = sorted(set(os.listdir(out)) - set(EXPECTED))
if extra:
    failures.append("unexpected files: %s" % extra)
# No dialog may stay open: the program ended on its own, within the timeout.
if failures:
    sys.exit("\n".join(failures))
print("screenshots: all checks passed")
