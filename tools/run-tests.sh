#!/usr/bin/env bash
# Installs what the console needs (Debian), builds everything warning-free and
# runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2
