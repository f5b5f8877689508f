#!/usr/bin/env bash
# Makes a private Wine prefix ready for the tests, once: PREFIX ARCH.
set -euo pipefail
prefix=$1
arch=${2:-win32}
source "$(dirname "${BASH_SOURCE[0]}")/machine.sh"
loader=$(brisk_wine_loader "$arch")
# Wine's 64-bit loader started directly starts its children with itself.
[ "$loader" = wine ] || export WINELOADER=$loader
# Wine's own fonts (Debian's fonts-wine), which this Wine finds only in the
# prefix's Fonts folder: Tahoma for dialogs and Marlett for the title bars'
# buttons, which show letters without it.
wine_fonts=/usr/share/wine/fonts
has_wine_fonts() { [ ! -d "$wine_fonts" ] || [ -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ]; }
install_wine_fonts() {
  if [ -d "$wine_fonts" ]; then cp "$wine_fonts"/* "$prefix/drive_c/windows/Fonts/"; fi
}

[ -f "$prefix/.brisk-ready" ] && has_wine_fonts && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.brisk-ready" ]; then
  # A prefix made before Wine's fonts were installed lacks only them.
  has_wine_fonts || install_wine_fonts
  exit 0
fi
rm -rf "$prefix"
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$loader" wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
# No window manager under Xvfb: unmanaged windows close at once.
"$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
# A crashing program exits with a backtrace instead of waiting for a dialog.
"$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
wineserver -w
install_wine_fonts
touch "$prefix/.brisk-ready"
