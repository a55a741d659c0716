#!/usr/bin/env bash
# Installs what the console needs (Debian), builds it and starts it with the
# built-in simulated camera. Extra arguments go to the console.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target qzr-console qzr-camsim
exec build/bin/qzr-console --sim "$@"
