"""Dutygate as an installed product: `cmake --install` into a fresh prefix,
then a C host built with pkg-config, a C++ host built with find_package and a
Python host on the installed binding, each run in an empty working
directory; or (--deb) the Debian package made by CPack, checked for its
contents and used the same way from its unpacked tree.

usage: install_driver.py BUILD_DIR SOURCE_DIR CMAKE CC CXX PKG_CONFIG [--deb CPACK]
"""
import os
import shutil
import subprocess
import sys
import tempfile

BUILD, SOURCE, CMAKE, CC, CXX, PKG_CONFIG = sys.argv[1:7]
DEB_CPACK = sys.argv[8] if len(sys.argv) > 8 and sys.argv[7] == "--deb" else None
HERE = os.path.dirname(os.path.abspath(__file__))
failures = []


def cache_value(name, default):
    with open(os.path.join(BUILD, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return default


LIBDIR = cache_value("CMAKE_INSTALL_LIBDIR", "lib")


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, flush=True)
    return condition


def run(args, **kwargs):
    print("$", " ".join(args), flush=True)
    done = subprocess.run(args, capture_output=True, text=True, timeout=300, **kwargs)
    if done.stdout:
        print(done.stdout, end="")
    if done.returncode != 0:
        print(done.stderr, end="")
        raise SystemExit("command failed with exit code %d: %s" % (done.returncode, " ".join(args)))
    return done.stdout


def empty_dir(parent, name):
    path = os.path.join(parent, name)
    os.makedirs(path)
    return path


def host_env():
    env = dict(os.environ)
    for name in ("LD_LIBRARY_PATH", "DUTYGATE_LIBRARY", "PYTHONPATH"):
        env.pop(name, None)
    env["XDG_DATA_HOME"] = tempfile.mkdtemp(prefix="dutygate-xdg-")  # no registration to find
    return env


def consumers(prefix, work):
    """Builds and runs the three consumers against the tree under `prefix`."""
    libdir = os.path.join(prefix, LIBDIR)
    env = host_env()

    # C, through pkg-config.
    pc_env = dict(env, PKG_CONFIG_PATH=os.path.join(libdir, "pkgconfig"), PKG_CONFIG_LIBDIR="")
    check(run([PKG_CONFIG, "--modversion", "dutygate"], env=pc_env).strip() == "1.0.0.15", "pkg-config version")
    cflags = run([PKG_CONFIG, "--cflags", "dutygate"], env=pc_env).split()
    libs = run([PKG_CONFIG, "--libs", "dutygate"], env=pc_env).split()
    pc_libdir = run([PKG_CONFIG, "--variable=libdir", "dutygate"], env=pc_env).strip()
    check(os.path.realpath(pc_libdir) == os.path.realpath(libdir), "pkg-config libdir %s" % pc_libdir)
    c_exe = os.path.join(work, "c_consumer")
    run([CC, "-std=c11", "-Wall", "-Werror", os.path.join(HERE, "c_consumer", "consumer.c"), "-o", c_exe]
        + cflags + libs + ["-Wl,-rpath," + pc_libdir])
    c_dir = empty_dir(work, "c-run")
    check("c consumer ok" in run([c_exe], cwd=c_dir, env=env), "C consumer output")
    check(os.path.isfile(os.path.join(c_dir, "mdb", "Para.mdb")), "the C consumer made mdb/Para.mdb")

    # C++, through find_package(Dutygate).
    cxx_build = os.path.join(work, "cxx-build")
    run([CMAKE, "-S", os.path.join(HERE, "cxx_consumer"), "-B", cxx_build, "-DCMAKE_PREFIX_PATH=" + prefix,
         "-DCMAKE_CXX_COMPILER=" + CXX], env=env)
    run([CMAKE, "--build", cxx_build], env=env)
    cxx_dir = empty_dir(work, "cxx-run")
    check("c++ consumer ok" in run([os.path.join(cxx_build, "cxx_consumer")], cwd=cxx_dir, env=env),
          "C++ consumer output")
    check(os.path.isfile(os.path.join(cxx_dir, "mdb", "Para.mdb")), "the C++ consumer made mdb/Para.mdb")

    # Python, on the installed binding with the installed library.
    py_dir = empty_dir(work, "py-run")
    py_env = dict(env, PYTHONPATH=os.path.join(prefix, "lib", "python3", "dist-packages"))
    script = (
        "import dutygate, os, sys\n"
        "assert os.path.realpath(dutygate.__file__).startswith(os.path.realpath(sys.argv[1])), dutygate.__file__\n"
        "shift = dutygate.CreateObject('Dutygate.clsShiftClass', library=sys.argv[2])\n"
        "assert shift.ShiftClass() is None\n"
        "shift.close()\n"
        "print('python consumer ok', dutygate.Version(library=sys.argv[2]))\n")
    check("python consumer ok" in run([sys.executable, "-c", script, prefix, os.path.join(libdir, "libdutygate.so.1")],
                                      cwd=py_dir, env=py_env), "Python consumer output")

    # The demo host from the same tree.
    host = os.path.join(prefix, "bin", "dutygate-host")
    check("1.00.0015" in run([host, "--version"], env=env), "dutygate-host --version")


def installed_files(prefix):
    return sorted(os.path.relpath(os.path.join(d, f), prefix) for d, _, fs in os.walk(prefix) for f in fs)


EXPECTED = [
    "bin/dutygate-host",
    "bin/dutygate-reset-password",
    "include/dutygate/dutygate.h",
    "include/dutygate/dutygate.hpp",
    LIBDIR + "/cmake/Dutygate/DutygateConfig.cmake",
    LIBDIR + "/cmake/Dutygate/DutygateConfigVersion.cmake",
    LIBDIR + "/cmake/Dutygate/DutygateTargets.cmake",
    LIBDIR + "/libdutygate.so",
    LIBDIR + "/libdutygate.so.1",
    LIBDIR + "/libdutygate.so.1.0.0.15",
    LIBDIR + "/pkgconfig/dutygate.pc",
    "lib/python3/dist-packages/dutygate/__init__.py",
    "share/dutygate/Dutygate.idl",
]


def check_tree(prefix):
    files = installed_files(prefix)
    for path in EXPECTED:
        check(path in files, "%s is installed" % path)
    check(os.path.islink(os.path.join(prefix, LIBDIR, "libdutygate.so.1")), "libdutygate.so.1 is the SONAME link")
    soname = run(["readelf", "-d", os.path.join(prefix, LIBDIR, "libdutygate.so.1.0.0.15")])
    check("[libdutygate.so.1]" in soname, "SONAME libdutygate.so.1")
    check(not any("__pycache__" in f for f in files), "no Python caches installed")


work = tempfile.mkdtemp(prefix="dutygate-install-")
try:
    if DEB_CPACK:
        out = os.path.join(work, "package")
        run([DEB_CPACK, "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out])
        debs = [f for f in os.listdir(out) if f.endswith(".deb")]
        if check(len(debs) == 1, "one .deb made: %s" % debs):
            deb = os.path.join(out, debs[0])
            fields = run(["dpkg-deb", "-f", deb, "Package", "Version", "Architecture", "Depends"])
            check("Package: dutygate" in fields, "package name")
            check("Version: 1.0.0.15" in fields, "package version")
            check("libqt6widgets6" in fields and "libsqlite3-0" in fields, "Depends names Qt and SQLite")
            root = os.path.join(work, "root")
            run(["dpkg-deb", "-x", deb, root])
            prefix = os.path.join(root, "usr")
            with open(os.path.join(prefix, "share/doc/dutygate/copyright"), encoding="utf-8") as f:
                check("License: MIT\n Permission is hereby granted" in f.read(), "copyright file names the MIT licence")
            check_tree(prefix)
            consumers(prefix, work)
    else:
        prefix = os.path.join(work, "prefix")
        run([CMAKE, "--install", BUILD, "--prefix", prefix])
        check_tree(prefix)
        consumers(prefix, work)
finally:
    if not failures:
        shutil.rmtree(work, ignore_errors=True)

if failures:
    sys.exit("%d check(s) failed; files left in %s" % (len(failures), work))
print("install: all checks passed")
