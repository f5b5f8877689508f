#!/usr/bin/env bash
# Makes a private Wine prefix ready for the tests, once: PREFIX ARCH.
set -euo pipefail
prefix=$1
arch=${2:-win32}
[ -f "$prefix/.brisk-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.brisk-ready" ] && exit 0
rm -rf "$prefix"
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
# No window manager under Xvfb: unmanaged windows close at once.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
# A crashing program exits with a backtrace instead of waiting for a dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
wineserver -w
touch "$prefix/.brisk-ready"
