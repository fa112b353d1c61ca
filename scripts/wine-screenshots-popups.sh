#!/usr/bin/env bash
# Plays the Wine test's story of the pop-up blocker (tests/wine/wine_popups.sh)
# and photographs the virtual desktop at its steps into docs/screenshots/
# popups-*.png, for the README. Not a test: it builds what it needs, runs the
# story once and says where the pictures are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target Ondrel OndrelTestServer
mkdir -p docs/screenshots
rm -f docs/screenshots/popups-*.png
status=0
bash tests/wine/wine_popups.sh --work build/wine-screenshots --shots docs/screenshots \
  build/windows/Ondrel.exe build/windows/OndrelTestServer.exe || status=$?
ls -1 docs/screenshots/popups-*.png
exit $status
