#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole test suite under a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
bash scripts/with-display.sh ctest --test-dir build --output-on-failure -j2 --timeout 900
# The shipped programs build as the Release type too (warnings are errors there as well).
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_TESTS=OFF -DNORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
# The libFuzzer harnesses, each for a minute (a separate clang build in build/fuzz).
bash scripts/fuzz.sh "${NORVANE_FUZZ_SECONDS:-60}"
# The Windows cross builds, 32-bit (build/windows) and 64-bit (build/windows64),
# each with its dependencies cached in its deps/ folder, and their test
# programs and end-to-end runs under wine: the 64-bit build under wine64 on
# every machine, the 32-bit one under wine32 where wine32 can be installed
# (elsewhere it is built and linked, and test-windows.sh says it was not run).
# Only a failed installation of the cross compilers (exit 75: the packages
# cannot be had from the archive right now) skips the step; without wine64
# both builds are still compiled and linked, and their tests are skipped.
windows=0
bash scripts/build-windows.sh || windows=$?
if [ "$windows" -eq 75 ]; then
  echo "windows: SKIPPED - mingw-w64 could not be installed (see above); no Windows build was built or run"
elif [ "$windows" -ne 0 ]; then
  exit "$windows"
elif [ ! -x /usr/lib/wine/wine64 ] && ! command -v wine64 >/dev/null; then
  echo "windows: tests SKIPPED - wine64 could not be installed (see above); the 32-bit and 64-bit builds were compiled and linked only"
else
  # The user-interface tests and the end-to-end runs open windows: a display
  # (Xvfb when there is none).
  bash scripts/with-display.sh bash scripts/test-windows.sh
fi
