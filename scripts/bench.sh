#!/usr/bin/env bash
# Runs every benchmark and prints its figures (figures only, no verdicts):
# the `bench` target of the native tree (unpack) and of the win32 tree under
# Wine on a private virtual display (unpack, write, memory and time of a
# test-mode launch with its per-step table, the shipping launcher's size,
# sections and DLL imports). Builds what the targets need, the shipping
# launcher's tree (build/win32-release) too. Ends every process it started:
# its Xvfb and the win32 prefix's wineserver.
#
#   scripts/bench.sh                      # build/native and build/win32
#   BENCH_NATIVE_DIR=build/x BENCH_WIN32_DIR=build/y scripts/bench.sh
#   BENCH_LAUNCHERS="before=/path/launcher.exe" scripts/bench.sh
#                                         # also launch builds of that launcher
#
# The launch benchmark registers the stand-in host in the win32 tree's Wine
# prefix: do not run it while that tree's tests run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${BENCH_NATIVE_DIR:-build/native}
win32=${BENCH_WIN32_DIR:-build/win32}
jobs=${BENCH_JOBS:-2}

# A preset's own tree is configured on first use; any other must be already.
ensure_configured() {
  local dir=$1 preset=$2
  [ -f "$dir/CMakeCache.txt" ] && return
  if [ "$dir" = "build/$preset" ]; then
    cmake --preset "$preset" >/dev/null
  else
    echo "bench.sh: $dir is not a configured build tree" >&2
    exit 2
  fi
}

case $win32 in
  /*) prefix=$win32/wineprefix ;;
  *) prefix=$root/$win32/wineprefix ;;
esac

xvfb_pid=
cleanup() {
  if [ -d "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

ensure_configured "$native" native
ensure_configured "$win32" win32

echo "#### native tree: $native"
cmake --build "$native" -j "$jobs" --target bench

source scripts/xvfb.sh
start_xvfb
echo "#### win32 tree under Wine: $win32 (display $DISPLAY)"
cmake --build "$win32" -j "$jobs" --target bench
