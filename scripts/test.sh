#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole test suite under a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
bash scripts/with-display.sh ctest --test-dir build --output-on-failure -j2 --timeout 900
# The libFuzzer harnesses, each for a minute (a separate clang build in build/fuzz).
bash scripts/fuzz.sh "${NORVANE_FUZZ_SECONDS:-60}"
