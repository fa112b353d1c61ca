#!/usr/bin/env bash
# Builds the presets (the simulated platform, the real Ondrel.exe, the
# simulated platform under the sanitizers, the fuzz targets) and runs every
# test: unit tests, scenario files and the test under Wine; the unit and
# scenario tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# with the 24-hour virtual soak; each fuzz target over its seed corpus and
# for a short while. Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
jobs=$(nproc)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --test-dir build/linux --output-on-failure -j "$jobs" "$@"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs" "$@"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs" "$@"
