#!/bin/sh
# SQLite for the Windows build, from Debian's source package: fetches the
# source of the sqlite3 package this machine's suites carry and makes the
# amalgamation (sqlite3.c, sqlite3.h), which the cross build compiles in.
# Prints the amalgamation's folder; reuses what an earlier run made.
#   scripts/windows-sqlite.sh SOURCE_FOLDER
set -eu
src=$(mkdir -p "$1" && cd "$1" && pwd)

# deb-src entries for the suites this machine already uses, in a sources file
# of our own: the deb822 stanzas of debian.sources, or the one-line "deb"
# entries of sources.list, turned into deb-src.
srclist=/etc/apt/sources.list.d/dutygate-src.sources
srcline=/etc/apt/sources.list.d/dutygate-src.list
new_sources=$(mktemp)
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$new_sources"
    target=$srclist
else
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' >"$new_sources" || true
    target=$srcline
fi
if [ ! -s "$new_sources" ]; then
    . /etc/os-release
    echo "deb-src http://deb.debian.org/debian $VERSION_CODENAME main" >"$new_sources"
    target=$srcline
fi
if ! cmp -s "$new_sources" "$target"; then
    rm -f "$srclist" "$srcline"
    cp "$new_sources" "$target"
    chmod 644 "$target"
    apt-get -o DPkg::Lock::Timeout=600 update -qq >&2 || echo "apt-get update failed in part" >&2
fi
rm -f "$new_sources"

sqlite_src=$(find "$src" -maxdepth 1 -type d -name 'sqlite3-*' | sort | tail -n 1)
if [ -z "$sqlite_src" ] || [ ! -x "$sqlite_src/configure" ]; then
    (cd "$src" && apt-get -o APT::Sandbox::User=root source -qq sqlite3 >&2)
    sqlite_src=$(find "$src" -maxdepth 1 -type d -name 'sqlite3-*' | sort | tail -n 1)
fi
echo "source: $sqlite_src" >&2
amalgamation=$src/amalgamation
if [ ! -s "$amalgamation/sqlite3.c" ] || [ ! -s "$amalgamation/sqlite3.h" ]; then
    rm -rf "$amalgamation"
    mkdir -p "$amalgamation"
    (cd "$amalgamation" && "$sqlite_src/configure" --disable-tcl >configure.log 2>&1 \
        && make -j"$(nproc)" sqlite3.c >make.log 2>&1) || {
        echo "building the SQLite amalgamation failed; see $amalgamation/*.log" >&2
        exit 1
    }
fi
echo "$amalgamation"
