#!/usr/bin/env bash
# Installs what the console needs (Debian), builds everything warning-free and
# runs the whole test suite; then runs the test programs that need no desktop
# toolkit again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2

# The sanitizer build makes only these programs; their tests are picked by the
# program label, so the ones not built here are not run.
sanitized=(protocol_tests serial_tests qzr_ui_tests qzr_app_tests sim_tests)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR_WERROR=ON -DQZR_SANITIZE=ON >/dev/null
cmake --build build-asan --target "${sanitized[@]}"
UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j2 \
    -L "^($(IFS='|'; echo "${sanitized[*]}"))\$"
