#!/usr/bin/env bash
# Quick start: builds the simulator and runs the example scenario, then shows
# the program's log file from the simulated machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh linux
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset linux >/dev/null
cmake --build --preset linux --target ondrel-sim >/dev/null
out=out/demo
mkdir -p out
echo "== What happened (report of the simulated desktop) =="
status=0
build/linux/ondrel-sim --trace --out "$out" examples/quickstart.scn || status=$?
echo
echo "== The program's log file ($out/C/Program Files/Ondrel/Ondrel.LOG) =="
tr -d '\r' < "$out/C/Program Files/Ondrel/Ondrel.LOG"
exit $status
