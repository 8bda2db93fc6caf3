#!/bin/sh
# Installs what is missing (Debian 12, as root), builds the component and the
# demo host, and starts dutygate-host in build/run/: its window where a
# display can be used, the headless shift announcer otherwise. Arguments go to
# dutygate-host (--headless, --screenshots DIR, --help).
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_deps
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target dutygate-host -j"$(nproc)"
# The host keeps its parameter database in mdb/Para.mdb under its working
# directory: give it one of its own.
mkdir -p build/run
cd build/run
exec ../apps/host/dutygate-host "$@"
