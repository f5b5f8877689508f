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
# configure and build PRESET
build_preset() {
  local preset=$1
  echo "== $preset: configure and build"
  # A tree made with other compilers than its preset now asks for (the
  # thread model, cmake/toolchain-mingw.cmake) refuses to configure: it is
  # configured afresh.
  cmake --preset "$preset" >/dev/null 2>&1 || cmake --fresh --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
}
# test PRESET [ctest arguments...]
test_preset() {
  local preset=$1
  shift
  echo "== $preset: test"
  if ! ctest --preset "$preset" -j "$jobs" "$@"; then
    failed+=("$preset")
  fi
}

source scripts/machine.sh
if brisk_runs_i386; then runs_i386=1; else runs_i386=0; fi

for preset in native native-asan fuzz win32-release; do
  build_preset "$preset"
  test_preset "$preset"
done

# The Windows tests need a display: a private virtual one.
source scripts/xvfb.sh
start_xvfb
# Every Windows tree is built on any machine, so that compile errors are
# caught everywhere. The win64 tree holds the 64-bit twin of every Windows
# suite; its tests labelled needs-i386 start 32-bit programs too.
build_preset win32
build_preset win64
if [ "$runs_i386" = 1 ]; then
  test_preset win32
  test_preset win64
else
  test_preset win64 -LE needs-i386
  skipped="the 32-bit Wine suites (every test of the win32 preset, and the win64 tests labelled needs-i386) were skipped: $(brisk_no_i386_reason); their 64-bit twins ran in the win64 preset"
fi

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED presets: ${failed[*]}"
  [ -n "${skipped:-}" ] && echo "SKIPPED: $skipped"
  exit 1
fi
[ -n "${skipped:-}" ] && echo "SKIPPED: $skipped"
echo "All presets passed."
