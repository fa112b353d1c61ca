#!/usr/bin/env bash
# Installs what building and testing Ondrel needs on Debian 12, once.
# Usage: scripts/deps.sh [linux|sanitize|all]   (linux: the simulator and its
# tests only; sanitize: also clang for the sanitizer and fuzz presets)
set -euo pipefail
want=${1:-all}
pkgs=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev ccache python3)
if [ "$want" = sanitize ] || [ "$want" = all ]; then
  # clang with its sanitizer runtimes and libFuzzer, the symbolizer for their reports
  pkgs+=(clang libclang-rt-14-dev llvm)
fi
if [ "$want" = all ]; then
  pkgs+=(mingw-w64 wine wine64 xvfb xauth imagemagick xdotool fp-utils)
fi
# The installer and the portable zip of the Windows build.
if [ "$want" = all ]; then pkgs+=(nsis zip unzip); fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
