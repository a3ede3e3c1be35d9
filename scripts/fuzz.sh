#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz with clang (into build/fuzz, or
# NORVANE_FUZZ_BUILD) and runs each for SECONDS (default 60), starting from
# its seed corpus in tests/fuzz/corpus. New inputs go to a scratch folder; a
# crash, and any undefined behaviour the sanitizer reports, leaves its input as
# build/fuzz/crash-* and fails the script.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
B=${NORVANE_FUZZ_BUILD:-build/fuzz}
command -v clang++ >/dev/null || { echo "clang is needed (scripts/deps.sh installs it)"; exit 1; }
CC=clang CXX=clang++ cmake -S . -B "$B" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVANE_BUILD_FUZZERS=ON \
    -DNORVANE_BUILD_TESTS=OFF -DNORVANE_BUILD_BENCH=OFF -DNORVANE_SPLIT_DEBUG=OFF >/dev/null
cmake --build "$B" -j"$(nproc)" --target norvane_fuzzers

# Undefined behaviour stops the harness as a crash does, instead of only
# being printed among the fuzzer's output.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

FAILED=0
for pair in Archive:archive Settings:settings ImageEnd:image Bridge:bridge StyleFile:style IconFile:icon; do
    harness=${pair%%:*} seeds=tests/fuzz/corpus/${pair##*:}
    work=$(mktemp -d)
    echo "== Fuzz$harness for ${SECONDS_EACH}s"
    if ! (cd "$B" && "$OLDPWD/$B/tests/fuzz/Fuzz$harness" -max_total_time="$SECONDS_EACH" -max_len=65536 \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$work" "$OLDPWD/$seeds" 2>&1 | tail -12); then
        FAILED=$((FAILED + 1))
    fi
    rm -rf "$work"
done
[ "$FAILED" -eq 0 ] || { echo "$FAILED harness(es) found a fault"; exit 1; }
echo "fuzzing: no fault found"
