#!/usr/bin/env bash
# Builds both presets (the simulated platform and the real Ondrel.exe) and
# runs every test: unit tests, scenario files and the test under Wine.
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
