#!/usr/bin/env bash
# Installs what the console needs (Debian), builds everything warning-free and
# runs the whole test suite; then runs the test programs that need no desktop
# toolkit again under AddressSanitizer and UndefinedBehaviorSanitizer; then,
# with clang, runs each fuzz program for a short while on its corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2

# The sanitizer build makes only these programs; their tests are picked by the
# program label, so the ones not built here are not run.
sanitized=(protocol_tests serial_tests qzr_ui_tests qzr_app_tests sim_tests qzr_fuzz_replay_tests)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR_WERROR=ON -DQZR_SANITIZE=ON >/dev/null
cmake --build build-asan --target "${sanitized[@]}"
UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j2 \
    -L "^($(IFS='|'; echo "${sanitized[*]}"))\$"

# Fuzzing, when clang with libFuzzer is there: each program runs for
# QZR_FUZZ_SECONDS (30) on a scratch copy of its corpus (the committed one is
# only read); a finding stops the script with the program's failure. A longer
# run is the README's command.
fuzz_seconds=${QZR_FUZZ_SECONDS:-30}
# program:corpus folder under tests/fuzz/corpus ("-" for none)
fuzz_programs=(
    qzr_fuzz_decoders:-
    qzr_fuzz_console_whole:whole qzr_fuzz_console_numbered:numbered qzr_fuzz_console_simplified:simplified
    qzr_fuzz_console_idle:idle qzr_fuzz_console_upgrade:upgrade qzr_fuzz_console_focus:focus
    qzr_fuzz_console_children:children
)
if command -v clang++ >/dev/null 2>&1; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZR_FUZZ=ON -DQZR_SANITIZE=ON >/dev/null
    cmake --build build-fuzz --target "${fuzz_programs[@]%%:*}"
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    for entry in "${fuzz_programs[@]}"; do
        program=${entry%%:*} corpus=${entry#*:}
        mkdir -p "$scratch/$program"
        seeds=()
        [ "$corpus" != "-" ] && seeds=("tests/fuzz/corpus/$corpus")
        echo "fuzzing $program for ${fuzz_seconds} s"
        UBSAN_OPTIONS=print_stacktrace=1 "build-fuzz/bin/$program" -max_total_time="$fuzz_seconds" -max_len=16384 \
            -timeout=20 -print_final_stats=1 -artifact_prefix="$scratch/$program-" "$scratch/$program" "${seeds[@]}" \
            >"$scratch/$program.log" 2>&1 || { tail -n 60 "$scratch/$program.log"; exit 1; }
        grep -E "^stat::number_of_executed_units|^#[0-9]+ +DONE" "$scratch/$program.log" || true
    done
else
    echo "clang++ not found: no fuzzing"
fi
