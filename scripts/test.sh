#!/bin/sh
# Installs what is missing (Debian 12, as root), builds, and runs every test.
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_deps
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
fetch_node_adodb build
ctest --test-dir build --output-on-failure -j"$(nproc)"
