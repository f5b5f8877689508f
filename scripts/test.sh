#!/usr/bin/env bash
# Sets up the machine, builds every preset and runs every test.
# Ends every process it started (Xvfb, Wine) whatever happens.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

bash scripts/setup.sh

xvfb_pid=
cleanup() {
  local preset
  for preset in win32 win64; do
    if [ -d "build/$preset/wineprefix" ]; then
      WINEPREFIX=$root/build/$preset/wineprefix wineserver -k 2>/dev/null || true
    fi
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

failed=()
run_preset() {
  local preset=$1
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  if ! ctest --preset "$preset" -j "$jobs"; then
    failed+=("$preset")
  fi
}

run_preset native
run_preset native-asan
run_preset fuzz
# The launcher as it ships, built in its own tree: the Windows trees embed,
# test and measure this executable.
run_preset win32-release

# The Windows tests need a display: a private virtual one.
source scripts/xvfb.sh
start_xvfb
run_preset win32
run_preset win64

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED presets: ${failed[*]}"
  exit 1
fi
echo "All presets passed."
