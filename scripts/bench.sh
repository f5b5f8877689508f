#!/usr/bin/env bash
# Runs every benchmark and prints its figures (figures only, no verdicts):
# the `bench` target of the native tree (unpack) and of the win32 tree under
# Wine on a private virtual display (unpack, write, memory and time of a
# test-mode launch with its per-step table, the shipping launcher's size,
# sections and DLL imports). Builds what the targets need, the shipping
# launcher's tree (build/win32-release) too. Ends every process it started:
# its Xvfb and the win32 prefix's wineserver.
#
# On a machine that runs no 32-bit program (or with BRISK_64BIT_ONLY=1) the
# Windows figures come from the win64 tree instead: the launcher's 64-bit
# twin, labelled so. The figures of record are the 32-bit launcher's.
#
#   scripts/bench.sh                      # build/native and build/win32
#   BENCH_NATIVE_DIR=build/x BENCH_WIN32_DIR=build/y scripts/bench.sh  (BENCH_WIN64_DIR for the twin)
#   BENCH_LAUNCHERS="before=/path/launcher.exe" scripts/bench.sh
#                                         # also launch builds of that launcher
#
# The launch benchmark registers the stand-in host in the win32 tree's Wine
# prefix: do not run it while that tree's tests run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/machine.sh
native=${BENCH_NATIVE_DIR:-build/native}
if brisk_runs_i386; then
  win_preset=win32
  win_tree=${BENCH_WIN32_DIR:-build/win32}
else
  win_preset=win64
  win_tree=${BENCH_WIN64_DIR:-build/win64}
  echo "bench.sh: Windows figures of the launcher's 64-bit twin (build/win64): $(brisk_no_i386_reason)"
fi
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

case $win_tree in
  /*) prefix=$win_tree/wineprefix ;;
  *) prefix=$root/$win_tree/wineprefix ;;
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
ensure_configured "$win_tree" "$win_preset"

echo "#### native tree: $native"
cmake --build "$native" -j "$jobs" --target bench

source scripts/xvfb.sh
start_xvfb
echo "#### $win_preset tree under Wine: $win_tree (display $DISPLAY)"
cmake --build "$win_tree" -j "$jobs" --target bench
